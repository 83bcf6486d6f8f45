// Code page 949 conversion over iconv, with invalid bytes passed through and
// host bytes without a code page 949 form carried (Cp949.h).
#include "platform/codepage/Cp949.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace tarn::codepage {
namespace {

// One iconv descriptor per direction and thread; the system is single
// threaded, but tests may not be.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts text; at a sequence the converter refuses, `refused` appends its
  // own rendering of the bytes there and returns how many it used (at least 1).
  template <class Refused>
  void Run(std::string_view text, std::string& out, Refused refused) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      while (!text.empty()) text.remove_prefix(refused(out, text));
      return;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, static_cast<size_t>(outPtr - buffer));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut off at the end).
        std::size_t used = refused(out, std::string_view(in, inLeft));
        in += used;
        inLeft -= used;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
  }

 private:
  iconv_t cd_;
};

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

std::string Cp949ToUtf8(std::string_view text) {
  thread_local Converter converter("UTF-8", "CP949");
  std::string out;
  SplitCarried(
      text,
      [&](std::string_view plain) {
        converter.Run(plain, out, [](std::string& o, std::string_view rest) {
          o.push_back(rest[0]);
          return std::size_t{1};
        });
      },
      [&](const std::string& bytes) { out += bytes; });
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
  // Decode to UTF-32 (native order); a refused byte becomes its own value.
  thread_local Converter converter("UTF-32LE", "CP949");
  std::u32string points;
  SplitCarried(
      text,
      [&](std::string_view plain) {
        std::string bytes;
        converter.Run(plain, bytes, [](std::string& o, std::string_view rest) {
          char unit[4] = {rest[0], 0, 0, 0};
          o.append(unit, 4);
          return std::size_t{1};
        });
        for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
          const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + i;
          points.push_back(static_cast<char32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24));
        }
      },
      [&](const std::string& bytes) {
        std::string_view rest(bytes);
        while (!rest.empty()) {
          std::size_t n = Utf8SequenceLength(rest);
          if (n == 0) {
            points.push_back(static_cast<unsigned char>(rest[0]));
            rest.remove_prefix(1);
          } else {
            points.push_back(DecodeUtf8(rest, n));
            rest.remove_prefix(n);
          }
        }
      });
  return points;
}

}  // namespace tarn::codepage
