// The marked-text decoder (TextDecoder.h).
#include "platform/codepage/TextDecoder.h"

namespace tarn::codepage {
namespace {

std::size_t DecodeUtf8(std::string_view raw, bool end, std::u32string& out) {
  static constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  const std::size_t n = raw.size();
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(raw[k]); };
  std::size_t i = 0;
  while (i < n) {
    const unsigned b = byte(i);
    const std::size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0) {
      out.push_back(U'?');
      ++i;
      continue;
    }
    if (i + length > n && !end) break;
    char32_t c = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = i + length <= n;
    for (std::size_t k = 1; ok && k < length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80)
        ok = false;
      else
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (!ok || c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(U'?');
      ++i;
      continue;
    }
    out.push_back(c);
    i += length;
  }
  return i;
}

std::size_t DecodeUtf16(std::string_view raw, bool end, bool little, std::u32string& out) {
  const std::size_t n = raw.size();
  auto byte = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(raw[k])); };
  auto unit = [&](std::size_t k) { return little ? byte(k) | (byte(k + 1) << 8) : (byte(k) << 8) | byte(k + 1); };
  std::size_t i = 0;
  while (i + 2 <= n) {
    const unsigned u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 4 > n && !end) break;
      if (i + 4 <= n) {
        const unsigned low = unit(i + 2);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          out.push_back(static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
          i += 4;
          continue;
        }
      }
      out.push_back(U'?');
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      out.push_back(U'?');
    } else {
      out.push_back(static_cast<char32_t>(u));
    }
    i += 2;
  }
  if (end && i < n) {  // half a unit at the very end
    out.push_back(U'?');
    i = n;
  }
  return i;
}

}  // namespace

TextEncoding DetectMark(std::string_view first, std::size_t* markLength) {
  *markLength = 0;
  if (first.starts_with("\xFF\xFE")) {
    *markLength = 2;
    return TextEncoding::kUtf16Le;
  }
  if (first.starts_with("\xFE\xFF")) {
    *markLength = 2;
    return TextEncoding::kUtf16Be;
  }
  if (first.starts_with("\xEF\xBB\xBF")) {
    *markLength = 3;
    return TextEncoding::kUtf8;
  }
  return TextEncoding::kEightBit;
}

std::size_t TextDecoder::Decode(std::string_view raw, bool end, std::u32string& out) const {
  switch (encoding_) {
    case TextEncoding::kUtf8:
      return DecodeUtf8(raw, end, out);
    case TextEncoding::kUtf16Le:
    case TextEncoding::kUtf16Be:
      return DecodeUtf16(raw, end, encoding_ == TextEncoding::kUtf16Le, out);
    case TextEncoding::kEightBit:
      break;
  }
  for (char b : raw) out.push_back(static_cast<unsigned char>(b));
  return raw.size();
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace tarn::codepage
