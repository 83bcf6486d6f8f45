#include "programs/ExitStatus.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarn::programs {
namespace {

// Some file systems (NFS) report a failed write only when a descriptor of
// the file is closed. A copy is closed rather than descriptor 1 itself, so
// that 1 stays taken while destructors run after main: a file opened then
// must not become stdout. Returns the errno of the failure, or 0.
int CloseCopyOfStdout() {
  const int copy = dup(1);
  // EBADF: closed from the start, and the flush found nothing waiting for it.
  if (copy < 0) return 0;
  return close(copy) == 0 ? 0 : errno;
}

}  // namespace

int ExitStatus(const char* program, int status) {
  errno = 0;
  int reason = std::fflush(stdout) != 0 ? errno : 0;
  // An earlier failed write leaves the error flag; its errno is gone by now.
  bool lost = reason != 0 || std::ferror(stdout) != 0;
  if (!lost) {
    reason = CloseCopyOfStdout();
    lost = reason != 0;
  }
  if (lost) {
    if (reason != 0)
      std::fprintf(stderr, "%s: write error: %s\n", program, std::strerror(reason));
    else
      std::fprintf(stderr, "%s: write error\n", program);
  }
  const bool errorLost = std::fflush(stderr) != 0 || std::ferror(stderr) != 0;
  return status == 0 && (lost || errorLost) ? 1 : status;
}

}  // namespace tarn::programs
