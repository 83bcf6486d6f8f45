// ANSI file names on Windows: the platform takes the system's code page 949
// names as they are and matches case itself, so little is left to do here.
//
// Every file is opened in binary mode, the "t" of a C mode dropped as on
// Linux: the system's files are then byte for byte the same on both
// platforms (LF line ends written, a CR before an LF dropped by the line
// reader, no end of file at a stray Ctrl-Z).
#include "platform/files/AnsiFile.h"
#include "platform/files/OutputFile.h"

#include <windows.h>

#include <cerrno>

namespace tarn::files {
namespace {

std::string BinaryMode(const char* mode) {
  std::string m;
  for (const char* p = mode; *p; ++p)
    if (*p != 't' && *p != 'b') m.push_back(*p);
  // The C runtime wants the mode letters before '+': "a+b" is "ab+".
  std::string::size_type plus = m.find('+');
  m.insert(plus == std::string::npos ? m.size() : plus, 1, 'b');
  return m;
}

// errno for the last failed Windows call, as the C runtime would set it.
void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_NOT_SAME_DEVICE:
      errno = EXDEV;
      break;
    default:
      errno = EIO;
      break;
  }
}

}  // namespace

std::string AnsiToHostPath(const char* name) { return name != nullptr ? name : ""; }

std::string ResolveAnsiPath(const char* name) { return AnsiToHostPath(name); }

std::FILE* AnsiFopen(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  return std::fopen(name, BinaryMode(mode).c_str());
}

int AnsiRename(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) {
    errno = EINVAL;
    return -1;
  }
  // rename() of the C runtime refuses an existing destination; the tool
  // renames a finished output over the file it replaces.
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0) return 0;
  SetErrnoFromLastError();
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

// The volume and the file index name a file on Windows (what device and
// inode are on Linux); st_ino of the C runtime is always 0 there.
bool SameExistingFile(const std::string& a, const std::string& b) {
  auto identify = [](const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!identify(a, ia) || !identify(b, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace tarn::files
