#include "platform/hosts/gtk/BoxText.h"

namespace tarn::hosts {
namespace {

// The code point at text[i] and its length in bytes (1 for a stray byte).
char32_t Decode(const std::string& text, std::size_t i, std::size_t* length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const int more = lead >= 0xF0 && lead <= 0xF4   ? 3
                   : lead >= 0xE0 && lead <= 0xEF ? 2
                   : lead >= 0xC2 && lead <= 0xDF ? 1
                                                  : 0;
  *length = 1;
  if (more == 0 || i + more >= text.size()) return lead;
  char32_t code = lead & (0x7F >> (more + 1));
  for (int k = 1; k <= more; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return lead;
    code = code << 6 | (next & 0x3F);
  }
  *length = static_cast<std::size_t>(more) + 1;
  return code;
}

int Columns(char32_t c) {
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

}  // namespace

std::string WrapAtBlanks(const std::string& utf8, int columns) {
  std::string out;
  std::string word;
  int lineColumns = 0, wordColumns = 0;
  auto flushWord = [&] {
    if (word.empty()) return;
    if (lineColumns > 0 && lineColumns + 1 + wordColumns > columns) {
      out += '\n';
      lineColumns = 0;
    } else if (lineColumns > 0) {
      out += ' ';
      ++lineColumns;
    }
    out += word;
    lineColumns += wordColumns;
    word.clear();
    wordColumns = 0;
  };
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 1;
    const char32_t c = Decode(utf8, i, &length);
    if (c == ' ') {
      flushWord();
    } else if (c == '\n') {
      flushWord();
      out += '\n';
      lineColumns = 0;
    } else {
      word.append(utf8, i, length);
      wordColumns += Columns(c);
    }
    i += length;
  }
  flushWord();
  return out;
}

}  // namespace tarn::hosts
