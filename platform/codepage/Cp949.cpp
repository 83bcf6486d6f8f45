// Code page 949 conversion over iconv, with invalid bytes passed through and
// host bytes without a code page 949 form carried (Cp949.h).
#include "platform/codepage/Cp949.h"

#include <cstdint>

#include "platform/codepage/Iconv.h"

namespace tarn::codepage {
namespace {

bool IsCarriedPair(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && text[i] == kCarried && static_cast<unsigned char>(text[i + 1]) >= 0x80;
}

// Splits code page 949 text into plain runs (handed to `plain`) and the host
// bytes carried in it (handed, one run at a time, to `carried`).
template <class Plain, class Carried>
void SplitCarried(std::string_view text, Plain plain, Carried carried) {
  std::size_t start = 0, i = 0;
  while (i < text.size()) {
    if (!IsCarriedPair(text, i)) {
      ++i;
      continue;
    }
    if (i > start) plain(text.substr(start, i - start));
    std::string bytes;
    while (IsCarriedPair(text, i)) {
      bytes.push_back(text[i + 1]);
      i += 2;
    }
    carried(bytes);
    start = i;
  }
  if (start < text.size()) plain(text.substr(start));
}

// Code page 949 text through `converter` onto out: the bytes it refuses, one
// at a time, through `refusedByte`, and the runs of carried host bytes
// through `carried`.
template <class RefusedByte, class Carried>
void ConvertCarrying(Converter& converter, std::string_view text, std::string& out, RefusedByte refusedByte,
                     Carried carried) {
  SplitCarried(
      text,
      [&](std::string_view plain) {
        converter.Run(plain, out, [&](std::string& o, std::string_view rest) {
          refusedByte(o, rest[0]);
          return std::size_t{1};
        });
      },
      [&](const std::string& bytes) { carried(out, bytes); });
}

// A code point as one UTF-32LE unit.
void AppendUnit(std::string& out, char32_t point) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(point >> shift & 0xFF));
}

char32_t DecodeUtf8(std::string_view s, std::size_t n) {
  auto b = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[k])); };
  if (n == 1) return b(0);
  if (n == 2) return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
  if (n == 3) return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
  return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view s) {
  if (s.empty()) return 0;
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = b(0);
  std::size_t n;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < n || b(1) < low || b(1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if (b(k) < 0x80 || b(k) > 0xBF) return 0;
  return n;
}

// One converter per direction and thread: the system is single threaded, but
// tests may not be.
std::string Cp949ToUtf8(std::string_view text) {
  thread_local Converter converter("UTF-8", "CP949");
  std::string out;
  ConvertCarrying(
      converter, text, out, [](std::string& o, char byte) { o.push_back(byte); },
      [](std::string& o, const std::string& bytes) { o += bytes; });
  return out;
}

std::string Utf8ToCp949(std::string_view text) {
  thread_local Converter converter("CP949", "UTF-8");
  std::string out;
  out.reserve(text.size());
  converter.Run(text, out, [](std::string& o, std::string_view rest) {
    // A character without a code page 949 form is carried whole; a byte that
    // is no UTF-8 is carried alone. 0xFF itself is never valid UTF-8, so a
    // host name holding it is carried too and the pairs stay unambiguous.
    std::size_t n = Utf8SequenceLength(rest);
    if (n == 0) n = 1;
    for (std::size_t k = 0; k < n; ++k) {
      o.push_back(kCarried);
      o.push_back(rest[k]);
    }
    return n;
  });
  return out;
}

std::u32string Cp949ToCodePoints(std::string_view text) {
  // Decode to UTF-32LE; a refused byte becomes its own value, and carried
  // bytes the characters their UTF-8 was (a byte of none, its own value).
  thread_local Converter converter("UTF-32LE", "CP949");
  std::string units;
  ConvertCarrying(
      converter, text, units, [](std::string& o, char byte) { AppendUnit(o, static_cast<unsigned char>(byte)); },
      [](std::string& o, const std::string& bytes) {
        std::string_view rest(bytes);
        while (!rest.empty()) {
          const std::size_t n = Utf8SequenceLength(rest);
          AppendUnit(o, n == 0 ? static_cast<unsigned char>(rest[0]) : DecodeUtf8(rest, n));
          rest.remove_prefix(n == 0 ? 1 : n);
        }
      });
  std::u32string points;
  points.reserve(units.size() / 4);
  for (std::size_t i = 0; i + 3 < units.size(); i += 4) {
    const auto* p = reinterpret_cast<const unsigned char*>(units.data()) + i;
    points.push_back(static_cast<char32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24));
  }
  return points;
}

}  // namespace tarn::codepage
