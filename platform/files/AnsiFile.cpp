// ANSI file names over a UTF-8, case-sensitive file system.
#include "platform/files/AnsiFile.h"
#include "platform/files/OutputFile.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/codepage/Cp949.h"

namespace tarn::files {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` ignoring ASCII case, or "".
std::string FindFolded(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return {};
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

std::string StripTextMode(const char* mode) {
  std::string m;
  for (const char* p = mode; *p; ++p)
    if (*p != 't') m.push_back(*p);
  return m;
}

}  // namespace

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
      std::string folded = FindFolded(resolved, part);
      if (folded.empty()) return exact;
      candidate = resolved.empty() || resolved.back() == '/' ? resolved + folded : resolved + "/" + folded;
    }
    resolved = candidate;
  }
  return resolved;
}

std::FILE* AnsiFopen(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  const std::string m = StripTextMode(mode);
  // Reading resolves case; writing keeps the exact name unless a file of
  // another case already stands there (then that file is the one meant).
  return std::fopen(ResolveAnsiPath(name).c_str(), m.c_str());
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

bool SameExistingFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (stat(files::ResolveAnsiPath(a.c_str()).c_str(), &sa) != 0) return false;
  if (stat(files::ResolveAnsiPath(b.c_str()).c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace tarn::files

int _chdir(const char* dir) {
  if (dir == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return ::chdir(tarn::files::ResolveAnsiPath(dir).c_str());
}

char* _getcwd(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) {
    errno = EINVAL;
    return nullptr;
  }
  char host[4096];
  if (::getcwd(host, sizeof host) == nullptr) return nullptr;
  std::string ansi = tarn::codepage::Utf8ToCp949(host);
  if (ansi.size() + 1 > static_cast<std::size_t>(size)) {
    errno = ERANGE;
    return nullptr;
  }
  std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
  return buffer;
}
