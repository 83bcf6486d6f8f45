#include "platform/files/OutputFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/AnsiFile.h"

namespace tarn::files {

std::string LastErrorText() { return std::strerror(errno); }

bool OutputFile::Open(const std::string& destination) {
  Abandon();
  destination_ = destination;
  // Beside the destination, so that the rename stays on one file system; the
  // process id keeps two tools writing the same name apart (getpid: POSIX, and
  // mingw-w64's runtime on Windows).
  temporary_ = destination + ".part" + std::to_string(static_cast<long>(getpid()));
  stream_ = files::AnsiFopen(temporary_.c_str(), "wt");
  if (stream_ == nullptr) {
    error_ = LastErrorText();
    temporary_.clear();
    return false;
  }
  return true;
}

bool OutputFile::Commit() {
  if (stream_ == nullptr) return false;
  bool ok = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (!ok) error_ = LastErrorText();
  if (ok && files::AnsiRename(temporary_.c_str(), destination_.c_str()) != 0) {
    error_ = LastErrorText();
    ok = false;
  }
  if (!ok) files::AnsiRemove(temporary_.c_str());
  temporary_.clear();
  return ok;
}

void OutputFile::Abandon() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) files::AnsiRemove(temporary_.c_str());
  temporary_.clear();
}

}  // namespace tarn::files
