#include "programs/WorldFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/log/TarnLog.h"
#include "platform/files/AnsiFile.h"

namespace tarn::programs {
namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The sample the package installed, found from where this program lies.
std::string InstalledSample() {
  std::string exe(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size() - 1);
  if (n <= 0) return {};
  exe.resize(static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return {};
  return exe.substr(0, slash) + "/../share/tarn/sample";
}

// mkdir -p with the user's private mode.
bool MakeFolders(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The working folder named from the root, as the summary names the log:
// "." says little.
std::string Here(const char* given) {
  std::string here(4096, '\0');
  return ::getcwd(here.data(), here.size()) != nullptr ? here.c_str() : (given != nullptr ? given : ".");
}

}  // namespace

void SayIfNoWorld(const char* program) {
  if (files::AnsiFileSize("exam.map", nullptr) != 0)
    std::fprintf(stderr, "%s: %s holds no world (no exam.map); the engine shows an empty grey world\n", program,
                 Here(nullptr).c_str());
}

std::string StateLogFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // XDG_STATE_HOME must name a folder from the root; a relative one is ignored.
  if (state != nullptr && state[0] == '/') return std::string(state) + "/tarn";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/tarn";
  return {};
}

bool EnterWorldFolder(const char* program, const char* folder) {
  if (folder != nullptr && ::chdir(folder) != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", program, folder, std::strerror(errno));
    return false;
  }
  SetLogProgramName(program);
  const std::string shown = Here(folder);

  const std::string sample = InstalledSample();
  const bool installed = !sample.empty() && SameFolder(".", sample);
  if (!installed && ::access(".", W_OK) == 0) return true;
  const std::string state = StateLogFolder();
  if (state.empty()) {
    std::fprintf(stderr, "%s: neither XDG_STATE_HOME nor HOME names a folder for Tarn.log; it stays in %s\n", program,
                 shown.c_str());
  } else if (!MakeFolders(state) || !UseLogFolder(state.c_str())) {
    std::fprintf(stderr, "%s: %s: %s; Tarn.log stays in %s\n", program, state.c_str(), std::strerror(errno), shown.c_str());
  }
  return true;
}

}  // namespace tarn::programs
