// The thread pool (local to platform/raster): worker threads that run the
// tiles of one job at a time beside the calling thread. Each tile is run by
// one thread; which one does not matter to the pixels.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace tarn::raster::detail {

// What the workers run: tiles 0..Tiles()-1, in any order, on any thread.
class TileJob {
 public:
  virtual int Tiles() const = 0;
  virtual void RunTile(int tile) const = 0;

 protected:
  ~TileJob() = default;
};

class Workers {
 public:
  // A thread the system refuses leaves fewer workers; the caller's thread
  // runs whatever they do not.
  explicit Workers(int count);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Hands a job over; the caller keeps it unchanged until Wait returns.
  void Start(const TileJob* job);
  // Runs tiles of the current job beside the workers until none is left.
  void Wait();
  // Every tile of the last job started is done: the workers have nothing.
  bool Finished() const { return remaining_.load(std::memory_order_acquire) == 0; }

 private:
  int Claim(std::uint32_t gen, int tiles);
  void Work(const TileJob* job, std::uint32_t gen, int tiles);
  void Loop();

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const TileJob* job_ = nullptr;
  int tiles_ = 0;
  std::atomic<std::uint32_t> generation_{0};  // changed under mutex_; read without it by a worker that spins
  std::atomic<std::uint64_t> claim_{0};  // generation << 32 | next tile
  std::atomic<int> remaining_{0};
  bool quit_ = false;
  bool busy_ = false;  // the caller's view: a job was started and not waited for
};

}  // namespace tarn::raster::detail
