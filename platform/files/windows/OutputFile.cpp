// Outputs written whole or not at all, on Windows (OutputFile.h):
//   - nothing or a file on disk under the name: the output is made under an
//     unpredictable temporary name beside it, created exclusively, and put
//     in place when complete: ReplaceFile over a file that stood there (it
//     keeps that file's attributes and security), MoveFileEx otherwise;
//   - a device under the name ("NUL", "CON", a pipe): written directly;
//   - a folder: refused.
// Temporaries are removed on every failure and on Abandon; when Ctrl+C or
// the console's closing ends the process, the console host's control
// handler removes them through RemoveTemporaryOutputs.
#define _CRT_RAND_S  // rand_s, the system's random numbers
#include "platform/files/OutputFile.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files/windows/LastError.h"

namespace tarn::files {
namespace {

// Temporary files to remove if the console ends the process: the control
// handler runs on a thread of its own, so the table is locked (an SRW lock:
// the toolchain's threads have no std::mutex).
constexpr int kSlots = 32;
std::string slots[kSlots];
SRWLOCK slotsLock = SRWLOCK_INIT;

int ClaimSlot(const std::string& name) {
  int claimed = -1;
  AcquireSRWLockExclusive(&slotsLock);
  for (int i = 0; i < kSlots && claimed < 0; ++i) {
    if (!slots[i].empty()) continue;
    slots[i] = name;
    claimed = i;
  }
  ReleaseSRWLockExclusive(&slotsLock);
  return claimed;
}

void ReleaseSlot(int& slot) {
  AcquireSRWLockExclusive(&slotsLock);
  if (slot >= 0) slots[slot].clear();
  ReleaseSRWLockExclusive(&slotsLock);
  slot = -1;
}

std::string RandomTag() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<unsigned> counter{0};
  std::string tag;
  for (int i = 0; i < 10; ++i) {
    unsigned v = 0;
    if (rand_s(&v) != 0) v = GetTickCount() * 2654435761u ^ counter.fetch_add(1) * 40503u ^ GetCurrentProcessId();
    tag.push_back(kLetters[v % 36]);
  }
  return tag;
}

}  // namespace

bool OutputFile::Open(const std::string& destination) {
  Abandon();
  error_.clear();
  replaces_ = false;
  if (destination.empty()) {
    error_ = std::strerror(ENOENT);
    return false;
  }
  const char* name = destination.c_str();
  HANDLE existing = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD type = GetFileType(existing);
    const bool known = GetFileInformationByHandle(existing, &info) != 0;
    CloseHandle(existing);
    if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      error_ = std::strerror(EISDIR);
      return false;
    }
    if (type != FILE_TYPE_DISK) {
      stream_ = std::fopen(name, "wb");
      if (stream_ == nullptr) error_ = LastErrorText();
      return stream_ != nullptr;
    }
    replaces_ = true;
  }

  final_ = destination;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary_ = final_ + ".part-" + RandomTag();
    // Exclusive, so nothing planted under the name is ever written through.
    file = CreateFileA(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    error_ = std::strerror(detail::ErrnoOfLastError());
    temporary_.clear();
    return false;
  }
  slot_ = ClaimSlot(temporary_);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd < 0 || (stream_ = _fdopen(fd, "wb")) == nullptr) {
    error_ = LastErrorText();
    if (fd >= 0)
      _close(fd);
    else
      CloseHandle(file);
    Abandon();
    return false;
  }
  folder_ = 1;  // temporary mode
  return true;
}

bool OutputFile::Commit() {
  if (stream_ == nullptr) return false;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (!ok) error_ = LastErrorText();
  if (std::fclose(stream_) != 0 && ok) {
    ok = false;
    error_ = LastErrorText();
  }
  stream_ = nullptr;
  if (folder_ < 0) return ok;  // written directly
  if (ok) {
    bool placed = false;
    if (replaces_)
      placed = ReplaceFileA(final_.c_str(), temporary_.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr) != 0;
    if (!placed) placed = MoveFileExA(temporary_.c_str(), final_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!placed) {
      ok = false;
      error_ = std::strerror(detail::ErrnoOfLastError());
    }
  }
  if (!ok) DeleteFileA(temporary_.c_str());
  ReleaseSlot(slot_);
  folder_ = -1;
  temporary_.clear();
  return ok;
}

void OutputFile::Abandon() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
  ReleaseSlot(slot_);
  folder_ = -1;
  temporary_.clear();
}

void RemoveTemporaryOutputs() {
  AcquireSRWLockExclusive(&slotsLock);
  for (std::string& name : slots)
    if (!name.empty()) DeleteFileA(name.c_str());
  ReleaseSRWLockExclusive(&slotsLock);
}

bool SameExistingFile(const std::string& a, const std::string& b) {
  return SameFile(IdentifyInput(a.c_str()), IdentifyInput(b.c_str()));
}

}  // namespace tarn::files
