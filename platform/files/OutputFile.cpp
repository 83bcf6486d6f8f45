#include "platform/files/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tarn::files {
namespace {

// Temporary files that a signal must not leave behind: the folder's handle
// and the name in it. A slot is filled before its handle is published, and
// RemoveTemporaryOutputs only reads, so it needs no lock.
struct CleanUpSlot {
  std::atomic<int> folder{-1};
  char name[NAME_MAX + 1];
};
static_assert(std::atomic<int>::is_always_lock_free, "the slots are read from signal handlers");
constexpr int kSlots = 32;
CleanUpSlot slots[kSlots];
std::mutex slotsLock;  // between threads that claim slots (tests run several)

// Past the file-size limit, write() then fails with EFBIG: a failed
// conversion with its message, not a killed process.
void IgnoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] { ::signal(SIGXFSZ, SIG_IGN); });
}

// Holds SIGINT, SIGTERM and SIGHUP back while a temporary file and its
// clean-up entry are made or undone together, so that a signal never finds
// one without the other.
class HoldSignals {
 public:
  HoldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~HoldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  HoldSignals(const HoldSignals&) = delete;
  HoldSignals& operator=(const HoldSignals&) = delete;

 private:
  sigset_t previous_;
};

int ClaimSlot(int folder, const std::string& name) {
  std::lock_guard<std::mutex> lock(slotsLock);
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].folder.load() >= 0) continue;
    std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
    slots[i].folder.store(folder);
    return i;
  }
  return -1;
}

void ReleaseSlot(int& slot) {
  if (slot >= 0) slots[slot].folder.store(-1);
  slot = -1;
}

// Follows symbolic links from path to what they finally name (which may not
// exist yet); false after 40 links (a loop).
bool FollowLinks(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char target[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0) return true;
    target[n] = '\0';
    if (target[0] == '/') {
      path = target;
    } else {
      std::size_t slash = path.find_last_of('/');
      path = slash == std::string::npos ? std::string(target) : path.substr(0, slash + 1) + target;
    }
  }
  errno = ELOOP;
  return false;
}

// A descriptor the user named directly: /dev/stdout and its kin are the
// process's own descriptors (dup'ed, so a pipeline or an appending
// redirection keeps its position); other names are opened for writing.
int OpenDirect(const std::string& path) {
  int fd = -1;
  if (path == "/dev/stdout") fd = 1;
  if (path == "/dev/stderr") fd = 2;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t n = std::strlen(prefix);
    if (path.compare(0, n, prefix) == 0 && path.size() > n && path.find_first_not_of("0123456789", n) == std::string::npos)
      fd = std::atoi(path.c_str() + n);
  }
  if (fd >= 0) return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  return ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
}

std::string RandomTag() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[10];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    // No entropy source: the exclusive create still keeps the file ours.
    static std::atomic<unsigned> counter{0};
    unsigned v = static_cast<unsigned>(::getpid()) * 2654435761u ^ counter.fetch_add(1) * 40503u ^
                 static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&counter));
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(v >>= 3);
  }
  std::string tag;
  for (unsigned char b : bytes) tag.push_back(kLetters[b % 36]);
  return tag;
}

// ext4 writes out a file's data before a rename over another file returns
// (a guard for programs that replace files without fsync); for a conversion
// that replaces dozens of outputs that wait is most of its time. Exchanging
// the two names and then removing the old file is the same atomic replace
// without it. False, with nothing changed, where the file system cannot
// exchange names (the caller renames then).
bool SwapIntoPlace(int folder, const char* temporary, const char* final) {
#if defined(RENAME_EXCHANGE)
  if (::renameat2(folder, temporary, folder, final, RENAME_EXCHANGE) != 0) return false;
  if (::unlinkat(folder, temporary, 0) == 0 || errno != EISDIR) return true;
  // A folder took the file's place since Open: give it its name back.
  ::renameat2(folder, temporary, folder, final, RENAME_EXCHANGE);
  errno = EISDIR;
#endif
  return false;
}

}  // namespace

bool OutputFile::Open(const std::string& destination) {
  Abandon();
  error_.clear();
  replaces_ = false;
  std::string path = AnsiToHostPath(destination.c_str());
  if (path.empty()) {
    error_ = std::strerror(ENOENT);
    return false;
  }
  IgnoreFileSizeSignal();

  if (path.compare(0, 5, "/dev/") == 0 || path.compare(0, 6, "/proc/") == 0) {
    int fd = OpenDirect(path);
    if (fd < 0 || (stream_ = ::fdopen(fd, "w")) == nullptr) {
      error_ = LastErrorText();
      if (fd >= 0) ::close(fd);
      return false;
    }
    return true;
  }
  if (!FollowLinks(path)) {
    error_ = LastErrorText();
    return false;
  }
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      error_ = std::strerror(EISDIR);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      // A FIFO waits here for its reader, as a shell's redirection would.
      int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
      if (fd < 0 || (stream_ = ::fdopen(fd, "w")) == nullptr) {
        error_ = LastErrorText();
        if (fd >= 0) ::close(fd);
        return false;
      }
      return true;
    }
    replaces_ = true;
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  }

  const std::size_t slash = path.find_last_of('/');
  const std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  final_ = slash == std::string::npos ? path : path.substr(slash + 1);
  folder_ = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) {
    error_ = LastErrorText();
    return false;
  }
  int fd = -1;
  HoldSignals hold;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary_ = final_ + ".part-" + RandomTag();
    if (temporary_.size() > NAME_MAX) temporary_ = ".part-" + RandomTag();
    // Exclusive, so nothing planted under the name is ever written through.
    fd = ::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error_ = LastErrorText();
    temporary_.clear();
    ::close(folder_);
    folder_ = -1;
    return false;
  }
  slot_ = ClaimSlot(folder_, temporary_);
  if (!replaces_) {
    // A new file gets what the umask leaves of 0666, as fopen would give it.
    struct stat made;
    mode_ = ::fstat(fd, &made) == 0 ? made.st_mode & 0777 : 0644;
  }
  // Private while it is written: a file of 0600 is not readable through its
  // temporary either.
  ::fchmod(fd, 0600);
  stream_ = ::fdopen(fd, "w");
  if (stream_ == nullptr) {
    error_ = LastErrorText();
    ::close(fd);
    Abandon();
    return false;
  }
  return true;
}

bool OutputFile::Commit() {
  if (stream_ == nullptr) return false;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (ok && folder_ >= 0) {
    const int fd = ::fileno(stream_);
    // The owner first: a change of owner clears set-id bits that fchmod then restores.
    if (replaces_) {
      struct stat now;
      if (::fstat(fd, &now) == 0 && (now.st_uid != owner_ || now.st_gid != group_)) {
        // Without the right to give the owner, the group alone where it may;
        // failing that too, the file keeps the writer's own, as any new file.
        if (::fchown(fd, owner_, group_) != 0 && ::fchown(fd, static_cast<uid_t>(-1), group_) != 0) errno = 0;
      }
    }
    ::fchmod(fd, mode_);
  }
  if (!ok) error_ = LastErrorText();
  if (std::fclose(stream_) != 0 && ok) {
    ok = false;
    error_ = LastErrorText();
  }
  stream_ = nullptr;
  if (folder_ < 0) return ok;  // written directly
  HoldSignals hold;
  if (ok && !(replaces_ && SwapIntoPlace(folder_, temporary_.c_str(), final_.c_str())) &&
      ::renameat(folder_, temporary_.c_str(), folder_, final_.c_str()) != 0) {
    ok = false;
    error_ = LastErrorText();
  }
  if (!ok) ::unlinkat(folder_, temporary_.c_str(), 0);
  ReleaseSlot(slot_);
  ::close(folder_);
  folder_ = -1;
  temporary_.clear();
  return ok;
}

void OutputFile::Abandon() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (folder_ >= 0) {
    HoldSignals hold;
    if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
    ReleaseSlot(slot_);
    ::close(folder_);
    folder_ = -1;
  }
  temporary_.clear();
}

void RemoveTemporaryOutputs() {
  for (CleanUpSlot& s : slots) {
    const int folder = s.folder.load();
    if (folder >= 0) ::unlinkat(folder, s.name, 0);
  }
}

bool SameExistingFile(const std::string& a, const std::string& b) {
  return SameFile(IdentifyInput(a.c_str()), IdentifyInput(b.c_str()));
}

}  // namespace tarn::files
