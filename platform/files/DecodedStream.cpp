// A stdio stream that decodes UTF-16 and marked UTF-8 text to code page 949
// while it is read (glibc's fopencookie), so that every reader of the system
// takes such a file as it takes an 8-bit one.
#include "platform/files/DecodedStream.h"

#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/codepage/Cp949.h"

namespace tarn::files::detail {
namespace {

class Decoder {
 public:
  Decoder(int fd, TextEncoding encoding) : fd_(fd), unit_(encoding == TextEncoding::kUtf8 ? 1 : 2) {
    const char* from = encoding == TextEncoding::kUtf16Le ? "UTF-16LE"
                       : encoding == TextEncoding::kUtf16Be ? "UTF-16BE"
                                                            : "UTF-8";
    cd_ = iconv_open("UTF-8", from);
  }
  ~Decoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    ::close(fd_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  bool Ready() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  ssize_t Read(char* buffer, size_t size) {
    while (pending_.size() == taken_ && !done_) {
      if (!Refill()) return -1;
    }
    size_t n = pending_.size() - taken_;
    if (n > size) n = size;
    std::memcpy(buffer, pending_.data() + taken_, n);
    taken_ += n;
    return static_cast<ssize_t>(n);
  }

 private:
  // Reads one block, converts what is whole of it; false on a read error.
  bool Refill() {
    pending_.clear();
    taken_ = 0;
    char block[16384];
    ssize_t got;
    do {
      got = ::read(fd_, block, sizeof block);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return false;
    raw_.append(block, static_cast<size_t>(got));
    if (got == 0) done_ = true;
    std::string utf8;
    char* in = raw_.data();
    size_t inLeft = raw_.size();
    char out[4096];
    while (inLeft > 0) {
      char* outPtr = out;
      size_t outLeft = sizeof out;
      size_t r = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      utf8.append(out, static_cast<size_t>(outPtr - out));
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (errno == EINVAL && !done_) break;  // a character cut by the block's end: keep it
      // A malformed unit (or a cut one at the very end).
      utf8.push_back('?');
      const size_t unit = inLeft >= unit_ ? unit_ : inLeft;
      in += unit;
      inLeft -= unit;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    raw_.erase(0, raw_.size() - inLeft);
    pending_ = codepage::Utf8ToCp949(utf8);
    return true;
  }

 private:
  int fd_;
  size_t unit_;  // bytes skipped after a malformed unit
  iconv_t cd_;
  std::string raw_, pending_;
  size_t taken_ = 0;
  bool done_ = false;
};

ssize_t ReadCookie(void* cookie, char* buffer, size_t size) { return static_cast<Decoder*>(cookie)->Read(buffer, size); }

int CloseCookie(void* cookie) {
  delete static_cast<Decoder*>(cookie);
  return 0;
}

}  // namespace

std::FILE* OpenDecodedStream(int fd, TextEncoding encoding) {
  auto decoder = std::make_unique<Decoder>(fd, encoding);
  if (!decoder->Ready()) return nullptr;
  cookie_io_functions_t io{};
  io.read = ReadCookie;
  io.close = CloseCookie;
  std::FILE* stream = fopencookie(decoder.get(), "r", io);
  if (stream != nullptr) decoder.release();
  return stream;
}

}  // namespace tarn::files::detail
