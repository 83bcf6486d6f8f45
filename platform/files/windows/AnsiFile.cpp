// ANSI file names on Windows: the platform takes the system's code page 949
// names as they are and matches case itself, so what is left here are the
// seam's own rules (AnsiFile.h), written with Windows' calls:
//   - every file is binary: a text-mode read only decodes a byte-order mark
//     (DecodedStream), as on Linux, so the files are byte for byte the same
//     on both platforms (LF line ends written, no end at a stray Ctrl-Z);
//   - what the system reads must be a file on disk: a folder or a device
//     ("CON", "NUL", a pipe) is refused;
//   - the program's own files are opened without following a link (a
//     reparse point) and only when they have no second name;
//   - a file's identity is its volume and file index (st_ino is 0 here).
#include "platform/files/AnsiFile.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <direct.h>

#include <cerrno>
#include <cstring>

#include "platform/files/DecodedStream.h"
#include "platform/files/Seam.h"
#include "platform/files/windows/LastError.h"

namespace tarn::files {
namespace {

SRWLOCK startFolderLock = SRWLOCK_INIT;  // the toolchain's threads have no std::mutex
std::string startFolder;  // empty: the working folder

bool IsFolder(const char* name) {
  const DWORD attributes = GetFileAttributesA(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A C stream over an open handle (owned by the stream from then on).
std::FILE* StreamOf(HANDLE file, int flags, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    return nullptr;
  }
  std::FILE* f = _fdopen(fd, mode);
  if (f == nullptr) _close(fd);
  return f;
}

std::FILE* OpenOwnFileNamed(const std::string& name, OwnFile mode) {
  detail::ClearRefusal();
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then refused.
  HANDLE file = CreateFileA(name.c_str(), mode == OwnFile::kAppend ? FILE_APPEND_DATA : GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (IsFolder(name.c_str()))
      detail::Refuse(EISDIR);
    else
      errno = detail::ErrnoOfLastError();
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || GetFileInformationByHandle(file, &info) == 0 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      info.nNumberOfLinks != 1) {
    const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    CloseHandle(file);
    detail::Refuse(link ? ELOOP : ENXIO);
    return nullptr;
  }
  if (mode == OwnFile::kEmpty && SetEndOfFile(file) == 0) {
    errno = detail::ErrnoOfLastError();
    CloseHandle(file);
    return nullptr;
  }
  return mode == OwnFile::kAppend ? StreamOf(file, _O_WRONLY | _O_APPEND, "ab") : StreamOf(file, _O_WRONLY, "wb");
}

FileIdentity IdentityOf(const char* name) {
  FileIdentity id;
  if (name == nullptr || *name == '\0') return id;
  HANDLE file = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return id;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info) != 0) {
    id.known = true;
    id.device = info.dwVolumeSerialNumber;
    id.inode = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  CloseHandle(file);
  return id;
}

}  // namespace

namespace detail {

std::FILE* OpenForReading(const std::string& path, bool text, long long* size) {
  const char* name = path.c_str();
  if (IsFolder(name)) {
    detail::Refuse(EISDIR);
    return nullptr;
  }
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    errno = detail::ErrnoOfLastError();
    return nullptr;
  }
  LARGE_INTEGER bytes;
  if (GetFileType(file) != FILE_TYPE_DISK || GetFileSizeEx(file, &bytes) == 0) {
    CloseHandle(file);
    detail::Refuse(ENXIO);
    return nullptr;
  }
  if (size != nullptr) *size = static_cast<long long>(bytes.QuadPart);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    return nullptr;
  }
  return text ? OpenTextStream(fd) : PlainStream(fd);
}

bool ReadStart(int fd, unsigned char* first, std::size_t n, std::size_t* got) {
  const int r = _read(fd, first, static_cast<unsigned>(n));
  *got = r > 0 ? static_cast<std::size_t>(r) : 0;
  if (_lseeki64(fd, 0, SEEK_SET) < 0) {
    _close(fd);
    return false;
  }
  return true;
}

std::FILE* PlainStream(int fd) {
  std::FILE* f = _fdopen(fd, "rb");
  if (f == nullptr) _close(fd);
  return f;
}

}  // namespace detail

std::string AnsiToHostPath(const char* name) { return name != nullptr ? name : ""; }

std::string ResolveAnsiPath(const char* name) { return AnsiToHostPath(name); }

std::FILE* OpenOwnFile(const char* name, OwnFile mode) {
  if (name == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  return OpenOwnFileNamed(name, mode);
}

std::FILE* OpenOwnFileInStartFolder(const char* name, OwnFile mode) {
  if (name == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  std::string folder;
  AcquireSRWLockShared(&startFolderLock);
  folder = startFolder;
  ReleaseSRWLockShared(&startFolderLock);
  return OpenOwnFileNamed(folder.empty() ? std::string(name) : folder + "\\" + name, mode);
}

// Kept by name: Windows does not let the folder be renamed while it is a
// process's working folder, so the name stays good for as long as it is.
void PinStartFolder() {
  char buffer[MAX_PATH * 2];
  const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  AcquireSRWLockExclusive(&startFolderLock);
  startFolder = n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
  ReleaseSRWLockExclusive(&startFolderLock);
}

bool PinStartFolderAt(const char* folder) {
  const DWORD attributes = folder != nullptr ? GetFileAttributesA(folder) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    errno = ENOENT;
    return false;
  }
  AcquireSRWLockExclusive(&startFolderLock);
  startFolder = folder;
  ReleaseSRWLockExclusive(&startFolderLock);
  return true;
}

int AnsiRename(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) {
    errno = EINVAL;
    return -1;
  }
  // rename() of the C runtime refuses an existing destination; rename(2)
  // replaces it.
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0) return 0;
  errno = detail::ErrnoOfLastError();
  return -1;
}

int AnsiRemove(const char* name) {
  if (name == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return std::remove(name);
}

int AnsiFileSize(const char* name, long long* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (name == nullptr || GetFileAttributesExA(name, GetFileExInfoStandard, &data) == 0 ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return -1;
  if (size != nullptr)
    *size = static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  return 0;
}

FileIdentity IdentifyInput(const char* name) { return IdentityOf(name); }

FileIdentity IdentifyOutput(const char* name) { return IdentityOf(name); }

HeldWorkingFolder::HeldWorkingFolder() {
  char name[MAX_PATH * 2];
  if (_getcwd(name, sizeof name) != nullptr) name_ = name;
}
HeldWorkingFolder::~HeldWorkingFolder() = default;
bool HeldWorkingFolder::Held() const { return !name_.empty(); }
bool HeldWorkingFolder::Enter() const {
  if (name_.empty()) {
    errno = EBADF;
    return false;
  }
  return _chdir(name_.c_str()) == 0;
}

}  // namespace tarn::files
