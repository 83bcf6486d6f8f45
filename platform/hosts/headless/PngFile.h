// Writing a 16-bit 5-6-5 picture as an 8-bit RGB PNG (libpng). Each channel
// is widened by repeating its top bits, so white stays 255.
#pragma once

#include <cstdint>
#include <string>

namespace tarn::hosts {

// pitchBytes may exceed width * 2. False with a message on failure.
bool WritePng565(const std::string& path, const std::uint16_t* pixels, int pitchBytes, int width, int height,
                 std::string& error);

}  // namespace tarn::hosts
