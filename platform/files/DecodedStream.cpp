// A stdio stream that decodes UTF-16 and marked UTF-8 text to code page 949
// while it is read (glibc's fopencookie), so that every reader of the system
// takes such a file as it takes an 8-bit one.
#include "platform/files/DecodedStream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/codepage/Cp949.h"
#include "platform/codepage/Iconv.h"

namespace tarn::files::detail {
namespace {

class Decoder {
 public:
  Decoder(int fd, TextEncoding encoding)
      : fd_(fd),
        unit_(encoding == TextEncoding::kUtf8 ? 1 : 2),
        converter_("UTF-8", encoding == TextEncoding::kUtf16Le   ? "UTF-16LE"
                            : encoding == TextEncoding::kUtf16Be ? "UTF-16BE"
                                                                 : "UTF-8") {}
  ~Decoder() { ::close(fd_); }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  bool Ready() const { return converter_.Ready(); }

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
    // A malformed unit becomes '?'; a character cut by the block's end waits
    // for the next block, and at the very end it is malformed too.
    const size_t taken = converter_.Run(
        raw_, utf8,
        [this](std::string& out, std::string_view rest) {
          out.push_back('?');
          return rest.size() < unit_ ? rest.size() : unit_;
        },
        done_ ? codepage::CutEnd::kRefuse : codepage::CutEnd::kKeep);
    raw_.erase(0, taken);
    pending_ = codepage::Utf8ToCp949(utf8);
    return true;
  }

  int fd_;
  size_t unit_;  // bytes skipped after a malformed unit
  codepage::Converter converter_;
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
