// The code both halves of the file seam share: what they do alike, over the
// steps each does its own way (Seam.h, OutputFile.h).
#include "platform/files/Seam.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/files/AnsiFile.h"
#include "platform/files/DecodedStream.h"
#include "platform/files/OutputFile.h"

namespace tarn::files {
namespace {

thread_local int refusedErrno = 0;

// A C mode for the host's fopen. Files are binary on both platforms
// (AnsiFile.h): "t" goes, and "b" is there for Windows' C runtime (Linux's
// ignores it), which wants it before '+': "a+b" is "ab+".
std::string BinaryMode(const char* mode) {
  std::string m;
  for (const char* p = mode; *p; ++p)
    if (*p != 't' && *p != 'b') m.push_back(*p);
  const std::string::size_type plus = m.find('+');
  m.insert(plus == std::string::npos ? m.size() : plus, 1, 'b');
  return m;
}

}  // namespace

namespace detail {

void Refuse(int error) {
  refusedErrno = error;
  errno = error;
}

void ClearRefusal() { refusedErrno = 0; }

std::FILE* OpenTextStream(int fd) {
  unsigned char first[3];
  std::size_t got = 0;
  if (!ReadStart(fd, first, sizeof first, &got)) return nullptr;
  std::size_t mark = 0;
  const codepage::TextEncoding encoding =
      codepage::DetectMark(std::string_view(reinterpret_cast<const char*>(first), got), &mark);
  return encoding == codepage::TextEncoding::kEightBit ? PlainStream(fd) : OpenDecodedStream(fd, mark, encoding);
}

}  // namespace detail

std::string LastErrorText() {
  const int error = errno;
  if (error != 0 && error == refusedErrno) {
    if (error == EISDIR) return "a folder, not a file";
    if (error == ELOOP) return "a symbolic link, not followed";
    return "not a regular file";
  }
  return std::strerror(error);
}

std::FILE* AnsiFopen(const char* name, const char* mode, long long* size) {
  detail::ClearRefusal();
  if (name == nullptr || mode == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  if (mode[0] == 'r' && std::strchr(mode, '+') == nullptr)
    return detail::OpenForReading(ResolveAnsiPath(name), std::strchr(mode, 't') != nullptr, size);
  return std::fopen(AnsiToHostPath(name).c_str(), BinaryMode(mode).c_str());
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) { return a.known && b.known && a == b; }

bool SameExistingFile(const std::string& a, const std::string& b) {
  return SameFile(IdentifyInput(a.c_str()), IdentifyInput(b.c_str()));
}

bool OutputFile::Open(const std::string& destination) {
  Abandon();
  error_.clear();
  const std::string path = AnsiToHostPath(destination.c_str());
  if (path.empty()) {
    error_ = std::strerror(ENOENT);
    return false;
  }
  return OpenPath(path);
}

bool OutputFile::OpenHostPath(const std::string& path) {
  Abandon();
  error_.clear();
  if (path.empty()) {
    error_ = std::strerror(ENOENT);
    return false;
  }
  return OpenPath(path);
}

bool OutputFile::Commit() {
  if (stream_ == nullptr) return false;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (ok && native_ != nullptr) SetFinalAttributes();
  if (!ok) error_ = LastErrorText();
  if (std::fclose(stream_) != 0 && ok) {
    ok = false;
    error_ = LastErrorText();
  }
  stream_ = nullptr;
  if (native_ == nullptr) return ok;  // written directly
  return EndTemporary(ok);
}

void OutputFile::Abandon() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (native_ != nullptr) EndTemporary(false);
}

}  // namespace tarn::files
