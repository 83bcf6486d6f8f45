// The thread pool: one job's tiles claimed through one atomic counter.
#include "platform/raster/Workers.h"

#include <chrono>
#include <system_error>

namespace tarn::raster::detail {
namespace {

// A worker that runs out of tiles watches for the next job this long before
// it sleeps, and the caller for the workers' last tiles: the caller hands
// over a batch every few hundred triangles, and waking a sleeping thread (a
// system call, and in a virtual machine an interrupt between processors)
// costs more than the gap it would fill. With more threads than processors
// the watching takes time from the threads that work; by default there is
// one thread per processor.
constexpr auto kSpin = std::chrono::microseconds(200);

inline void CpuRelax() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_ia32_pause();
#endif
}

// Watches for `ready` for up to kSpin; the caller sleeps on its condition
// afterwards in any case, which then costs nothing when it already holds.
template <class Ready>
void SpinFor(Ready ready) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  for (int n = 1; !ready(); ++n) {
    CpuRelax();
    if (n % 64 == 0 && std::chrono::steady_clock::now() > until) return;
  }
}

}  // namespace

Workers::Workers(int count) {
  try {
    for (int i = 0; i < count; ++i) threads_.emplace_back([this] { Loop(); });
  } catch (const std::system_error&) {
  }
}

Workers::~Workers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void Workers::Start(const TileJob* job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = job;
    tiles_ = job->Tiles();
    const std::uint32_t gen = generation_.load(std::memory_order_relaxed) + 1;
    remaining_.store(tiles_, std::memory_order_relaxed);
    claim_.store(static_cast<std::uint64_t>(gen) << 32, std::memory_order_release);
    busy_ = true;
    generation_.store(gen, std::memory_order_release);
  }
  wake_.notify_all();
}

void Workers::Wait() {
  if (!busy_) return;
  Work(job_, generation_.load(std::memory_order_relaxed), tiles_);
  SpinFor([this] { return remaining_.load(std::memory_order_acquire) == 0; });
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return remaining_.load(std::memory_order_acquire) == 0; });
  busy_ = false;
}

// Claims the next tile of generation `gen`; -1 when there is none.
int Workers::Claim(std::uint32_t gen, int tiles) {
  std::uint64_t c = claim_.load(std::memory_order_acquire);
  for (;;) {
    if (static_cast<std::uint32_t>(c >> 32) != gen) return -1;
    int next = static_cast<int>(c & 0xFFFFFFFFu);
    if (next >= tiles) return -1;
    if (claim_.compare_exchange_weak(c, c + 1, std::memory_order_acq_rel, std::memory_order_acquire)) return next;
  }
}

void Workers::Work(const TileJob* job, std::uint32_t gen, int tiles) {
  for (int tile; (tile = Claim(gen, tiles)) >= 0;) {
    job->RunTile(tile);
    if (remaining_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_all();
    }
  }
}

void Workers::Loop() {
  std::uint32_t seen = 0;
  for (;;) {
    const TileJob* job;
    std::uint32_t gen;
    int tiles;
    SpinFor([&] { return generation_.load(std::memory_order_acquire) != seen; });
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
      if (quit_) return;
      seen = gen = generation_.load(std::memory_order_relaxed);
      job = job_;
      tiles = tiles_;
    }
    Work(job, gen, tiles);
  }
}

}  // namespace tarn::raster::detail
