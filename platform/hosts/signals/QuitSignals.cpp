#include "platform/hosts/signals/QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/files/OutputFile.h"

namespace tarn::hosts {
namespace {

// What the handler reads: plain lock-free atomics and descriptors, set up
// before the handler is installed.
static_assert(std::atomic<int>::is_always_lock_free, "read and written from a signal handler");
std::atomic<bool> held{false};
std::atomic<int> endingNow{1};
std::atomic<int> received{0};  // signals since the hold began
std::atomic<int> pending{0};   // the signal waiting to be taken
int wakeRead = -1, wakeWrite = -1;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction previous[kCount];
bool owned[kCount];
struct sigaction previousFileSize;
bool fileSizeOwned = false;

int IndexOf(int signal) {
  for (int i = 0; i < kCount; ++i)
    if (kSignals[i] == signal) return i;
  return -1;
}

extern "C" void OnQuitSignal(int signal) {
  const int savedErrno = errno;
  if (endingNow.load() != 0 || received.fetch_add(1) > 0) {
    files::RemoveTemporaryOutputs();
    ::_exit(128 + signal);
  }
  pending.store(signal);
  if (wakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(Ending ending) {
  bool expected = false;
  if (!held.compare_exchange_strong(expected, true)) return;
  holding_ = true;
  endingNow.store(ending == Ending::kNow ? 1 : 0);
  received.store(0);
  pending.store(0);
  int ends[2];
  if (ending == Ending::kQuitPath && ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead = ends[0];
    wakeWrite = ends[1];
  }
  for (int i = 0; i < kCount; ++i) {
    owned[i] = false;
    if (::sigaction(kSignals[i], nullptr, &previous[i]) != 0 || previous[i].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    // The other two wait while one is handled, so that two signals at once
    // are counted one after the other.
    for (int other : kSignals) sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESTART;
    owned[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
  }
  // Past the file-size limit, write() then fails with EFBIG: a failed
  // output with its message, not a killed process.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  fileSizeOwned = ::sigaction(SIGXFSZ, &ignore, &previousFileSize) == 0;
}

QuitSignals::~QuitSignals() {
  if (!holding_) return;
  for (int i = 0; i < kCount; ++i)
    if (owned[i]) ::sigaction(kSignals[i], &previous[i], nullptr);
  if (fileSizeOwned) ::sigaction(SIGXFSZ, &previousFileSize, nullptr);
  for (int* end : {&wakeRead, &wakeWrite}) {
    if (*end >= 0) ::close(*end);
    *end = -1;
  }
  held.store(false);
}

bool QuitSignals::Owns(int signal) const {
  const int i = IndexOf(signal);
  return holding_ && i >= 0 && owned[i];
}

int QuitSignals::Take() {
  if (!holding_) return 0;
  char drain[64];
  if (wakeRead >= 0)
    while (::read(wakeRead, drain, sizeof drain) > 0) {
    }
  return pending.exchange(0);
}

int QuitSignals::WakeDescriptor() const { return holding_ ? wakeRead : -1; }

}  // namespace tarn::hosts
