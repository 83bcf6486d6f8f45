// PNG through libpng: a 16-bit 5-6-5 picture written as an 8-bit RGB file
// (each channel widened by repeating its top bits, so white stays 255), and
// an 8-bit RGBA picture encoded in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::hosts {

// pitchBytes may exceed width * 2. False with a message on failure.
bool WritePng565(const std::string& path, const std::uint16_t* pixels, int pitchBytes, int width, int height,
                 std::string& error);

// rgba: height rows of width * 4 bytes, top row first. False when libpng
// fails (out is then left as it was).
bool EncodePngRgba(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& out);

}  // namespace tarn::hosts
