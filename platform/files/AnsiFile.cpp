// ANSI file names over a UTF-8, case-sensitive file system.
#include "platform/files/AnsiFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/codepage/Cp949.h"
#include "platform/files/DecodedStream.h"
#include "platform/files/Seam.h"

namespace tarn::files {
namespace {

// The start folder's handle, or -1 for the working folder.
std::atomic<int> startFolder{-1};

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of folder `dir` (relative to the folder handle `at`) whose name
// equals `name` ignoring ASCII case, or "".
std::string FindFolded(int at, const std::string& dir, const std::string& name) {
  const int listing = ::openat(at, dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return {};
  DIR* d = ::fdopendir(listing);
  if (d == nullptr) {
    ::close(listing);
    return {};
  }
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

// The folder a host path names, opened one component at a time from the
// root or the working folder, each component exact when it exists and else
// the entry that matches it without regard to case. A whole path may be
// longer than the kernel takes at once (PATH_MAX): a working folder that
// deep still has a name to come back to. -1 with errno when it fails.
int OpenFolderByParts(const std::string& path) {
  int folder = ::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  std::size_t pos = 0;
  while (folder >= 0 && pos < path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty() || part == ".") continue;
    int next = ::openat(folder, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (next < 0 && errno == ENOENT) {
      const std::string folded = FindFolded(folder, ".", part);
      if (folded.empty()) {
        errno = ENOENT;
      } else {
        next = ::openat(folder, folded.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      }
    }
    const int error = errno;
    ::close(folder);
    folder = next;
    errno = error;
  }
  return folder;
}

// Opens a regular file for reading without ever blocking on what stands
// under the name; -1 with errno otherwise.
int OpenRegularForReading(const std::string& path, long long* size) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool folder = S_ISDIR(st.st_mode);
    ::close(fd);
    detail::Refuse(folder ? EISDIR : ENXIO);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (size != nullptr) *size = static_cast<long long>(st.st_size);
  return fd;
}

}  // namespace

namespace detail {

std::FILE* OpenForReading(const std::string& path, bool text, long long* size) {
  const int fd = OpenRegularForReading(path, size);
  if (fd < 0) return nullptr;
  return text ? OpenTextStream(fd) : PlainStream(fd);
}

bool ReadStart(int fd, unsigned char* first, std::size_t n, std::size_t* got) {
  const ssize_t r = ::pread(fd, first, n, 0);
  *got = r > 0 ? static_cast<std::size_t>(r) : 0;
  return true;
}

std::FILE* PlainStream(int fd) {
  std::FILE* f = ::fdopen(fd, "r");
  if (f == nullptr) ::close(fd);
  return f;
}

}  // namespace detail

std::string AnsiToHostPath(const char* name) {
  std::string path = codepage::Cp949ToUtf8(name != nullptr ? name : "");
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string ResolveAnsiPath(const char* name) {
  std::string exact = AnsiToHostPath(name);
  if (exact.empty() || Exists(exact)) return exact;
  // Walk the folders, taking each component as it is when it exists and
  // else the one entry that matches it without regard to case.
  std::string resolved;
  std::size_t pos = 0;
  if (exact[0] == '/') {
    resolved = "/";
    pos = 1;
  }
  while (pos <= exact.size()) {
    std::size_t slash = exact.find('/', pos);
    if (slash == std::string::npos) slash = exact.size();
    std::string part = exact.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty()) continue;
    std::string candidate = resolved.empty() || resolved.back() == '/' ? resolved + part : resolved + "/" + part;
    if (!Exists(candidate)) {
      std::string folded = FindFolded(AT_FDCWD, resolved, part);
      if (folded.empty()) return exact;
      candidate = resolved.empty() || resolved.back() == '/' ? resolved + folded : resolved + "/" + folded;
    }
    resolved = candidate;
  }
  return resolved;
}

namespace {

std::FILE* OpenOwnFileAt(int folder, const char* name, OwnFile mode) {
  detail::ClearRefusal();
  if (name == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  const std::string path = AnsiToHostPath(name);
  // O_NOFOLLOW refuses a link; O_NONBLOCK keeps a FIFO from waiting for a
  // reader (and fails it when there is none); fstat refuses the rest.
  int fd = ::openat(folder, path.c_str(),
                    O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                        (mode == OwnFile::kAppend ? O_APPEND : 0),
                    0666);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENXIO) detail::Refuse(errno);
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
    ::close(fd);
    detail::Refuse(ENXIO);
    return nullptr;
  }
  if (mode == OwnFile::kEmpty && ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, mode == OwnFile::kAppend ? "a" : "w");
  if (f == nullptr) ::close(fd);
  return f;
}

}  // namespace

std::FILE* OpenOwnFile(const char* name, OwnFile mode) { return OpenOwnFileAt(AT_FDCWD, name, mode); }

std::FILE* OpenOwnFileInStartFolder(const char* name, OwnFile mode) {
  const int folder = startFolder.load();
  return OpenOwnFileAt(folder >= 0 ? folder : AT_FDCWD, name, mode);
}

void PinStartFolder() {
  const int folder = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  const int old = startFolder.exchange(folder);
  if (old >= 0) ::close(old);
}

bool PinStartFolderAt(const char* folder) {
  const int handle = folder != nullptr ? ::open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
  if (folder == nullptr) errno = EINVAL;
  if (handle < 0) return false;
  const int old = startFolder.exchange(handle);
  if (old >= 0) ::close(old);
  return true;
}

int AnsiRename(const char* from, const char* to) {
  return std::rename(ResolveAnsiPath(from).c_str(), ResolveAnsiPath(to).c_str());
}

int AnsiRemove(const char* name) { return std::remove(ResolveAnsiPath(name).c_str()); }

int AnsiFileSize(const char* name, long long* size) {
  struct stat st;
  if (::stat(ResolveAnsiPath(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  if (size != nullptr) *size = static_cast<long long>(st.st_size);
  return 0;
}

namespace {

FileIdentity IdentityOfPath(const std::string& path) {
  FileIdentity id;
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return id;
  id.known = true;
  id.device = static_cast<unsigned long long>(st.st_dev);
  id.inode = static_cast<unsigned long long>(st.st_ino);
  return id;
}

}  // namespace

FileIdentity IdentifyInput(const char* name) { return IdentityOfPath(ResolveAnsiPath(name)); }

FileIdentity IdentifyOutput(const char* name) { return IdentityOfPath(AnsiToHostPath(name)); }

HeldWorkingFolder::HeldWorkingFolder() : handle_(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
HeldWorkingFolder::~HeldWorkingFolder() {
  if (handle_ >= 0) ::close(handle_);
}
bool HeldWorkingFolder::Held() const { return handle_ >= 0; }
bool HeldWorkingFolder::Enter() const {
  if (handle_ < 0) {
    errno = EBADF;
    return false;
  }
  return ::fchdir(handle_) == 0;
}

}  // namespace tarn::files

int _chdir(const char* dir) {
  if (dir == nullptr) {
    errno = EINVAL;
    return -1;
  }
  const std::string path = tarn::files::AnsiToHostPath(dir);
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  // The exact name in one step when the kernel takes it; else folder by
  // folder, for another letter case or a name longer than PATH_MAX.
  if (::chdir(path.c_str()) == 0) return 0;
  if (errno != ENOENT && errno != ENAMETOOLONG) return -1;
  const int folder = tarn::files::OpenFolderByParts(path);
  if (folder < 0) return -1;
  const int result = ::fchdir(folder);
  const int error = errno;
  ::close(folder);
  errno = error;
  return result;
}

char* _getcwd(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) {
    errno = EINVAL;
    return nullptr;
  }
  // Of any length: past PATH_MAX the C library finds the name folder by
  // folder, and _chdir comes back to it the same way.
  std::unique_ptr<char, decltype(&std::free)> host(::getcwd(nullptr, 0), &std::free);
  if (host == nullptr) return nullptr;
  std::string ansi = tarn::codepage::Utf8ToCp949(host.get());
  if (ansi.size() + 1 > static_cast<std::size_t>(size)) {
    errno = ERANGE;
    return nullptr;
  }
  std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
  return buffer;
}
