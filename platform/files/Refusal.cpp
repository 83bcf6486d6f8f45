#include "platform/files/Refusal.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/files/AnsiFile.h"

namespace tarn::files {
namespace {
thread_local int refusedErrno = 0;
}  // namespace

namespace detail {

void Refuse(int error) {
  refusedErrno = error;
  errno = error;
}

void ClearRefusal() { refusedErrno = 0; }

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

}  // namespace tarn::files
