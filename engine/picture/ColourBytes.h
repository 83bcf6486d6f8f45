// ColourBytes: one colour as blue, green, red and alpha bytes (the byte order
// of a little-endian 0xAARRGGBB pixel), with its packings into the 16-bit
// screen and texel formats.
#pragma once

#include <cstdint>

struct ColourBytes {
  std::uint8_t blue = 0, green = 0, red = 0, alpha = 0;

  static ColourBytes FromPixel(std::uint32_t p) {
    ColourBytes c;
    c.blue = static_cast<std::uint8_t>(p);
    c.green = static_cast<std::uint8_t>(p >> 8);
    c.red = static_cast<std::uint8_t>(p >> 16);
    c.alpha = static_cast<std::uint8_t>(p >> 24);
    return c;
  }
  static ColourBytes FromRgb565(std::uint16_t v) {
    ColourBytes c;
    c.alpha = 255;
    c.red = static_cast<std::uint8_t>(((v >> 11) & 31) << 3);
    c.green = static_cast<std::uint8_t>(((v >> 5) & 63) << 2);
    c.blue = static_cast<std::uint8_t>((v & 31) << 3);
    return c;
  }
  std::uint16_t ToRgb565() const {
    return static_cast<std::uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3));
  }
  // Texels: each channel keeps its upper four bits.
  std::uint16_t ToArgb4444() const {
    return static_cast<std::uint16_t>((alpha >> 4) << 12 | (red >> 4) << 8 | (green >> 4) << 4 | (blue >> 4));
  }
  // One alpha bit and five bits per colour.
  std::uint16_t ToArgb1555() const {
    return static_cast<std::uint16_t>((alpha >> 7) << 15 | (red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3));
  }
};
