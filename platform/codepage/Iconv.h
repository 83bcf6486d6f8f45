// An iconv conversion that carries on past what the converter refuses, for
// the code page 949 functions (Cp949.h). Linux only: Windows converts itself.
#pragma once

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarn::codepage {

// What Run does with a sequence that the end of its text cuts off.
enum class CutEnd {
  kRefuse,  // the text is all there is: the sequence is refused
  kKeep,    // more text follows: Run stops before the sequence
};

// One iconv descriptor, used by one thread at a time.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ready()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // False when iconv has no such conversion; Run then refuses every byte.
  bool Ready() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts text onto the end of out and returns how many bytes of text it
  // took (all of them, unless kKeep stopped it before a cut sequence). At a
  // sequence the converter refuses, `refused(out, rest)` appends its own
  // rendering of the bytes there and returns how many it used (at least 1).
  template <class Refused>
  std::size_t Run(std::string_view text, std::string& out, Refused refused, CutEnd cut = CutEnd::kRefuse) {
    if (!Ready()) {
      std::size_t taken = 0;
      while (taken < text.size()) taken += refused(out, text.substr(taken));
      return taken;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
      if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      if (errno == EINVAL && cut == CutEnd::kKeep) break;
      // EILSEQ, or EINVAL: a sequence cut off at the end.
      const std::size_t used = refused(out, std::string_view(in, inLeft));
      in += used;
      inLeft -= used;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return text.size() - inLeft;
  }

 private:
  iconv_t cd_;
};

}  // namespace tarn::codepage
