// A stdio stream that decodes marked text to code page 949 while it is read
// (glibc's fopencookie), so that every reader of the system takes such a
// file as it takes an 8-bit one.
#include "platform/files/DecodedStream.h"

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
  Decoder(int fd, std::size_t mark, codepage::TextEncoding encoding) : fd_(fd), skip_(mark), decoder_(encoding) {}
  ~Decoder() { ::close(fd_); }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

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
  // Reads one block and converts what is whole of it; false on a read error.
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
    const size_t skipped = skip_ < raw_.size() ? skip_ : raw_.size();
    raw_.erase(0, skipped);
    skip_ -= skipped;
    characters_.clear();
    raw_.erase(0, decoder_.Decode(raw_, done_, characters_));
    std::string utf8;
    for (char32_t c : characters_) codepage::AppendUtf8(utf8, c);
    pending_ = codepage::Utf8ToCp949(utf8);
    return true;
  }

  int fd_;
  size_t skip_;  // what is left of the mark
  codepage::TextDecoder decoder_;
  std::string raw_, pending_;
  std::u32string characters_;
  size_t taken_ = 0;
  bool done_ = false;
};

ssize_t ReadCookie(void* cookie, char* buffer, size_t size) { return static_cast<Decoder*>(cookie)->Read(buffer, size); }

int CloseCookie(void* cookie) {
  delete static_cast<Decoder*>(cookie);
  return 0;
}

}  // namespace

std::FILE* OpenDecodedStream(int fd, std::size_t mark, codepage::TextEncoding encoding) {
  auto decoder = std::make_unique<Decoder>(fd, mark, encoding);
  cookie_io_functions_t io{};
  io.read = ReadCookie;
  io.close = CloseCookie;
  std::FILE* stream = fopencookie(decoder.get(), "r", io);
  if (stream != nullptr) decoder.release();
  return stream;
}

}  // namespace tarn::files::detail
