// UnifontGlyphs: the bitmap glyphs of GNU Unifont's .hex file for the Basic
// Multilingual Plane, loaded once on first use.
//
// A line is "XXXX:BITMAP": four to six hex digits of code point, then 32 hex
// digits (8 x 16) or 64 (16 x 16), rows top to bottom, the most significant
// bit leftmost. Lines that do not have this shape, code points above U+FFFF
// and glyphs of other widths are skipped. The file is a resource of the
// platform, read with a bounded line buffer of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::win32 {

class UnifontGlyphs {
 public:
  // Loads the file; false (and no glyphs) when it cannot be read.
  bool Load(const std::string& path);
  bool Loaded() const { return loaded_; }
  // Width 8 or 16 and the 16 rows (bits from bit 15 down, leftmost first),
  // or width 0 when the font has no glyph for the code point.
  int Glyph(char32_t codePoint, std::uint16_t rows[16]) const;

 private:
  bool loaded_ = false;
  // Per code point: 0 none, else 1 + index into rows_ (16 per glyph); the
  // width goes in wide_.
  std::vector<std::uint32_t> index_;
  std::vector<std::uint16_t> rows_;
  std::vector<std::uint8_t> wide_;
};

}  // namespace tarn::win32
