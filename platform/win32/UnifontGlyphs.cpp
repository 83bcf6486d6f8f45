// Loading GNU Unifont's .hex glyphs.
#include "platform/win32/UnifontGlyphs.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace tarn::win32 {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool UnifontGlyphs::Load(const std::string& path) {
  loaded_ = false;
  index_.assign(0x10000, 0);
  rows_.clear();
  wide_.clear();
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  char line[160];
  while (std::fgets(line, sizeof line, file.get())) {
    std::size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] != '\n' && !std::feof(file.get())) {
      // A line longer than any glyph line: skip the rest of it.
      int c;
      while ((c = std::fgetc(file.get())) != EOF && c != '\n') {
      }
      continue;
    }
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r')) line[--len] = '\0';
    const char* colon = std::strchr(line, ':');
    if (!colon) continue;
    std::size_t digits = static_cast<std::size_t>(colon - line);
    if (digits < 4 || digits > 6) continue;
    std::uint32_t cp = 0;
    bool ok = true;
    for (std::size_t i = 0; i < digits && ok; ++i) {
      int d = HexDigit(line[i]);
      ok = d >= 0;
      cp = cp * 16 + static_cast<std::uint32_t>(d < 0 ? 0 : d);
    }
    if (!ok || cp > 0xFFFF || index_[cp] != 0) continue;
    const char* bits = colon + 1;
    std::size_t n = std::strlen(bits);
    if (n != 32 && n != 64) continue;
    int perRow = static_cast<int>(n / 16);  // hex digits per row: 2 or 4
    std::uint16_t glyph[16];
    for (int r = 0; r < 16 && ok; ++r) {
      std::uint32_t v = 0;
      for (int k = 0; k < perRow && ok; ++k) {
        int d = HexDigit(bits[r * perRow + k]);
        ok = d >= 0;
        v = v * 16 + static_cast<std::uint32_t>(d < 0 ? 0 : d);
      }
      glyph[r] = static_cast<std::uint16_t>(perRow == 2 ? v << 8 : v);
    }
    if (!ok) continue;
    index_[cp] = static_cast<std::uint32_t>(wide_.size() + 1);
    rows_.insert(rows_.end(), glyph, glyph + 16);
    wide_.push_back(perRow == 4 ? 1 : 0);
  }
  loaded_ = !wide_.empty();
  return loaded_;
}

int UnifontGlyphs::Glyph(char32_t cp, std::uint16_t rows[16]) const {
  if (!loaded_ || cp > 0xFFFF) return 0;
  std::uint32_t slot = index_[cp];
  if (slot == 0) return 0;
  std::memcpy(rows, &rows_[(slot - 1) * 16], 16 * sizeof(std::uint16_t));
  return wide_[slot - 1] ? 16 : 8;
}

}  // namespace tarn::win32
