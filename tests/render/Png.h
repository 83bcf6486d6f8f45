// 5-6-5 pictures to and from 8-bit RGB PNG files (libpng), for the golden
// pictures of the device tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::test {

// Writes width x height packed 5-6-5 pixels; false on any failure.
bool WritePng565(const std::string& path, const std::vector<std::uint16_t>& pixels, int width, int height);
// Reads an 8-bit RGB PNG back into 5-6-5; false on any failure.
bool ReadPng565(const std::string& path, std::vector<std::uint16_t>* pixels, int* width, int* height);

}  // namespace tarn::test
