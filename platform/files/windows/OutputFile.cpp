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
#include <memory>
#include <string>
#include <utility>

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

// Only the names: ReplaceFile keeps what the replaced file had.
struct OutputFile::Native {
  std::string final, temporary;
  bool replaces = false;  // a file on disk stood there
  int slot = -1;          // the console handler's clean-up entry
};

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::OpenPath(const std::string& destination) {
  const char* name = destination.c_str();
  auto native = std::make_unique<Native>();
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
    native->replaces = true;
  }

  native->final = destination;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    native->temporary = native->final + ".part-" + RandomTag();
    // Exclusive, so nothing planted under the name is ever written through.
    file = CreateFileA(native->temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    error_ = std::strerror(detail::ErrnoOfLastError());
    return false;
  }
  native->slot = ClaimSlot(native->temporary);
  native_ = std::move(native);
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
  return true;
}

// ReplaceFile gives the new file the old one's attributes and security.
void OutputFile::SetFinalAttributes() {}

bool OutputFile::EndTemporary(bool place) {
  Native& n = *native_;
  bool placed = false;
  if (place) {
    if (n.replaces)
      placed = ReplaceFileA(n.final.c_str(), n.temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr) != 0;
    if (!placed) placed = MoveFileExA(n.temporary.c_str(), n.final.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!placed) error_ = std::strerror(detail::ErrnoOfLastError());
  }
  if (!placed) DeleteFileA(n.temporary.c_str());
  ReleaseSlot(n.slot);
  native_.reset();
  return placed;
}

void RemoveTemporaryOutputs() {
  AcquireSRWLockExclusive(&slotsLock);
  for (std::string& name : slots)
    if (!name.empty()) DeleteFileA(name.c_str());
  ReleaseSRWLockExclusive(&slotsLock);
}

}  // namespace tarn::files
