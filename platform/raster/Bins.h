// Binning by band and double-buffered batches (local to platform/raster):
// the calling thread sets triangles up into one batch, binned by band of
// rows (kBandHeight), while the workers fill the other; each band's
// triangles are filled in the order they were submitted. A band is the
// workers' tile, unless there are too few bands for the threads: then each
// band is cut into columns.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/raster/RasterLocal.h"
#include "platform/raster/Workers.h"

namespace tarn::raster::detail {

// The triangles of one batch, binned by band.
class Batch final : public TileJob {
 public:
  std::vector<TriangleSetup> setups;  // the first `queued` are in use; the rest is room
  std::size_t queued = 0;
  std::deque<DrawContext> contexts;  // stable addresses for the set-ups
  std::vector<std::vector<std::uint32_t>> bins;  // one per tile, a column's bands top to bottom
  std::uint64_t contextDraw = 0;  // the draw whose context was copied last
  int width = 0, height = 0;
  int bands = 0, columnShift = 31;  // columns of 1 << columnShift pixels (31: one)

  void Clear();
  void Shape(int w, int h, int threads);  // the tiles of a target size
  bool Empty() const { return queued == 0; }
  int Tiles() const override { return static_cast<int>(bins.size()); }
  void RunTile(int claim) const override;
};

// Where set-ups go: filled at once on one thread, queued with more.
class TileQueue {
 public:
  explicit TileQueue(int threads);
  bool Queued() const { return workers_ != nullptr; }
  // Room for the next set-up. Keep queues (or, on one thread, fills) it;
  // `draw` numbers the draw it belongs to (its context is copied once per
  // batch), `context` is the draw's.
  //
  // On one thread the set-up is made where the fill reads it: copied from
  // elsewhere, it would be read back in other widths than it was written
  // in, which stalls the processor. Queued, it is made in one of two slots
  // that stay in this thread's cache and streamed into the batch a triangle
  // later, when its stores have reached the cache: the batch's memory was
  // last read by another core, and writing it in place made every store
  // wait for its line to come back (on a machine of two cores, at times
  // three to five times the set-up's own time).
  TriangleSetup& Next();
  void Keep(std::uint64_t draw, const DrawContext& context);
  // Fills everything queued.
  void Drain();
  // A target of another size than the queued batch's needs new bands.
  bool ShapeDiffers(int width, int height) const {
    return !filling_.Empty() && (filling_.width != width || filling_.height != height);
  }

 private:
  std::unique_ptr<Workers> workers_;
  int threads_;
  Batch filling_, running_;
  // The set-ups queued so far are in the batch, where other threads may read
  // them once it is handed over.
  void Settle();

  TriangleSetup direct_{};  // one thread's
  TriangleSetup staged_[2]{};
  int stage_ = 0;  // the slot Next gives
  std::size_t pending_ = kNone;  // the batch index of the other slot's set-up, not yet streamed
  static constexpr std::size_t kNone = ~std::size_t{0};
};

}  // namespace tarn::raster::detail
