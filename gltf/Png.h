// PNG for a glTF image: 8-bit RGBA pixels encoded in memory (libpng).
#pragma once

#include <cstdint>
#include <vector>

namespace tarn::gltf {

// rgba: height rows of width * 4 bytes, top row first. False when the size
// is not a picture's or libpng fails; `out` is then empty.
bool EncodePng(const std::uint8_t* rgba, int width, int height, std::vector<std::uint8_t>& out);

}  // namespace tarn::gltf
