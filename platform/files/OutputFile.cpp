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
#include <memory>
#include <mutex>
#include <string>
#include <utility>

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

// The process's own descriptor that a name stands for: /dev/stdout,
// /dev/stderr, /dev/fd/N and /proc/self/fd/N; -1 for any other name.
int OwnDescriptor(const std::string& path) {
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t n = std::strlen(prefix);
    if (path.compare(0, n, prefix) == 0 && path.size() > n && path.size() - n < 9 &&
        path.find_first_not_of("0123456789", n) == std::string::npos)
      return std::atoi(path.c_str() + n);
  }
  return -1;
}

// A stream on a copy of descriptor `fd` (so that a pipeline or an appending
// redirection keeps its position), or on the file opened for writing.
bool OpenDirect(int fd, const std::string& path, std::FILE*& stream) {
  const int copy = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 3) : ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (copy < 0 || (stream = ::fdopen(copy, "w")) == nullptr) {
    if (copy >= 0) ::close(copy);
    return false;
  }
  return true;
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

// The folder by handle, so that the temporary is renamed in the folder it
// was made in, and what the output keeps of a file it replaces.
struct OutputFile::Native {
  int folder = -1;
  std::string final, temporary;  // names in that folder
  bool replaces = false;         // a regular file stood there: keep its mode and owner
  unsigned mode = 0;             // the replaced file's, or what the umask leaves
  unsigned owner = 0, group = 0;
  int slot = -1;  // the signal-time clean-up's entry
};

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::OpenPath(const std::string& destination) {
  std::string path = destination;

  // What stands under the name decides, never where the name points: a
  // regular file is written whole or not at all wherever it lies (/dev/shm,
  // /proc/self/cwd/...). One of the process's own descriptors is written
  // through when it is no regular file (a pipe, a terminal), when it appends
  // (its owner asked for that), or when its file cannot be reached by name.
  const int own = OwnDescriptor(path);
  if (own >= 0) {
    struct stat held;
    if (::fstat(own, &held) != 0) {
      error_ = LastErrorText();
      return false;
    }
    const int flags = ::fcntl(own, F_GETFL);
    struct stat named;
    std::string resolved = path;
    const bool reachable = S_ISREG(held.st_mode) && flags >= 0 && (flags & O_APPEND) == 0 && FollowLinks(resolved) &&
                           ::stat(resolved.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
                           named.st_ino == held.st_ino;
    if (!reachable) {
      if (!OpenDirect(own, path, stream_)) {
        error_ = LastErrorText();
        return false;
      }
      return true;
    }
    path = resolved;
  } else if (!FollowLinks(path)) {
    error_ = LastErrorText();
    return false;
  }
  auto native = std::make_unique<Native>();
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      error_ = std::strerror(EISDIR);
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      // A FIFO waits here for its reader, as a shell's redirection would.
      if (!OpenDirect(-1, path, stream_)) {
        error_ = LastErrorText();
        return false;
      }
      return true;
    }
    native->replaces = true;
    native->mode = st.st_mode & 07777;
    native->owner = st.st_uid;
    native->group = st.st_gid;
  }

  const std::size_t slash = path.find_last_of('/');
  const std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  native->final = slash == std::string::npos ? path : path.substr(slash + 1);
  native->folder = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (native->folder < 0) {
    error_ = LastErrorText();
    return false;
  }
  native_ = std::move(native);
  Native& n = *native_;
  int fd = -1;
  HoldSignals hold;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    n.temporary = n.final + ".part-" + RandomTag();
    if (n.temporary.size() > NAME_MAX) n.temporary = ".part-" + RandomTag();
    // Exclusive, so nothing planted under the name is ever written through.
    fd = ::openat(n.folder, n.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error_ = LastErrorText();
    n.temporary.clear();  // nothing was made
    EndTemporary(false);
    return false;
  }
  n.slot = ClaimSlot(n.folder, n.temporary);
  if (!n.replaces) {
    // A new file gets what the umask leaves of 0666, as fopen would give it.
    struct stat made;
    n.mode = ::fstat(fd, &made) == 0 ? made.st_mode & 0777 : 0644;
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

void OutputFile::SetFinalAttributes() {
  const int fd = ::fileno(stream_);
  // The owner first: a change of owner clears set-id bits that fchmod then restores.
  if (native_->replaces) {
    struct stat now;
    if (::fstat(fd, &now) == 0 && (now.st_uid != native_->owner || now.st_gid != native_->group)) {
      // Without the right to give the owner, the group alone where it may;
      // failing that too, the file keeps the writer's own, as any new file.
      if (::fchown(fd, native_->owner, native_->group) != 0 &&
          ::fchown(fd, static_cast<uid_t>(-1), native_->group) != 0)
        errno = 0;
    }
  }
  ::fchmod(fd, native_->mode);
}

bool OutputFile::EndTemporary(bool place) {
  Native& n = *native_;
  HoldSignals hold;
  bool placed = false;
  if (place) {
    placed = (n.replaces && SwapIntoPlace(n.folder, n.temporary.c_str(), n.final.c_str())) ||
             ::renameat(n.folder, n.temporary.c_str(), n.folder, n.final.c_str()) == 0;
    if (!placed) error_ = LastErrorText();
  }
  if (!placed && !n.temporary.empty()) ::unlinkat(n.folder, n.temporary.c_str(), 0);
  ReleaseSlot(n.slot);
  ::close(n.folder);
  native_.reset();
  return placed;
}

void RemoveTemporaryOutputs() {
  for (CleanUpSlot& s : slots) {
    const int folder = s.folder.load();
    if (folder >= 0) ::unlinkat(folder, s.name, 0);
  }
}

}  // namespace tarn::files
