// Image: one picture as 32-bit 0xAARRGGBB pixels, row by row, top row first.
// A new Image is empty (0 x 0, no pixels); loading into an Image gives it a
// new pixel array.
#pragma once

#include <cstdint>
#include <vector>

struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;  // width * height entries, or none
};
