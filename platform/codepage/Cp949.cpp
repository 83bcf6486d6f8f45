// Code page 949 conversion over iconv, with invalid bytes passed through.
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

  // Converts text; a byte the converter refuses goes to `raw`, which appends
  // its own rendering of that byte to out.
  template <class RawByte>
  std::string Run(std::string_view text, RawByte raw) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      for (char c : text) raw(out, static_cast<unsigned char>(c));
      return out;
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
        // EILSEQ or EINVAL (a lead byte at the end): pass one byte through.
        raw(out, static_cast<unsigned char>(*in));
        ++in;
        --inLeft;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string Cp949ToUtf8(std::string_view text) {
  thread_local Converter converter("UTF-8", "CP949");
  return converter.Run(text, [](std::string& out, unsigned char b) { out.push_back(static_cast<char>(b)); });
}

std::string Utf8ToCp949(std::string_view text) {
  thread_local Converter converter("CP949", "UTF-8");
  return converter.Run(text, [](std::string& out, unsigned char b) { out.push_back(static_cast<char>(b)); });
}

std::u32string Cp949ToCodePoints(std::string_view text) {
  // Decode to UTF-32 (native order); a refused byte becomes its own value.
  thread_local Converter converter("UTF-32LE", "CP949");
  std::string bytes = converter.Run(text, [](std::string& out, unsigned char b) {
    char unit[4] = {static_cast<char>(b), 0, 0, 0};
    out.append(unit, 4);
  });
  std::u32string points(bytes.size() / 4, U'\0');
  for (size_t i = 0; i < points.size(); ++i) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * i;
    points[i] = static_cast<char32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
  }
  return points;
}

}  // namespace tarn::codepage
