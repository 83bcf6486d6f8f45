// Binning by band and the double-buffered batches.
#include "platform/raster/Bins.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarn::raster::detail {
namespace {

// Triangles queued before the workers get them: enough to keep them busy
// while the calling thread sets up the next batch. When they have finished
// the last one before that (its triangles were cheap to fill: hidden, or
// small), they get what is queued as soon as it makes kEarlyBatch, looked
// at every kEarlyBatch triangles. Each full batch ends in a wait for the
// slower thread's last band; half as many triangles measured the same on
// objects and 1-3% slower on many small draws at 1920x1080.
constexpr std::size_t kBatchTriangles = 16384;
constexpr std::size_t kEarlyBatch = 512;

// A band's triangles were set up up to a batch ago, long since gone from the
// cache of whichever thread fills them; each is fetched this many triangles
// ahead, so that the fill's first read (its function pointer) does not wait.
constexpr std::size_t kSetupsAhead = 2;

// Tiles for each thread, so that no thread waits long for the others at the
// end of a batch: two threads share 800x600 in its 19 bands; more threads
// cut the bands into columns.
constexpr int kTilesPerThread = 8;

void PrefetchSetup(const TriangleSetup& t) {
#if defined(__GNUC__)
  const char* p = reinterpret_cast<const char*>(&t);
  for (std::size_t offset = 0; offset < sizeof t; offset += 64) __builtin_prefetch(p + offset);
  __builtin_prefetch(p + sizeof t - 1);  // the last line, when the set-up straddles one more
#else
  (void)t;
#endif
}

// Writes a set-up to memory past the caches (the line need not be fetched
// first); the worker that reads it fetches it ahead (PrefetchSetup).
void Stream(const TriangleSetup& from, TriangleSetup& to) {
#if defined(__SSE2__)
  static_assert(sizeof(TriangleSetup) % 16 == 0 && alignof(TriangleSetup) >= 16);
  const auto* f = reinterpret_cast<const __m128i*>(&from);
  auto* t = reinterpret_cast<__m128i*>(&to);
  for (std::size_t k = 0; k < sizeof(TriangleSetup) / 16; ++k) _mm_stream_si128(t + k, _mm_load_si128(f + k));
#else
  to = from;
#endif
}

}  // namespace

void Batch::Clear() {
  queued = 0;
  contexts.clear();
  for (auto& b : bins) b.clear();
  contextDraw = 0;
}

void Batch::Shape(int w, int h, int threads) {
  if (w == width && h == height) return;  // a queue's thread count never changes
  width = w;
  height = h;
  bands = (h + kBandHeight - 1) >> kBandShift;
  // Columns a power of two wide (64 pixels or more: whole groups of pixels
  // of every SIMD width), as wide as still makes enough tiles; one column
  // (1 << 31: any column is 0) when the bands are enough.
  auto columnsAt = [w](int shift) { return static_cast<int>((std::int64_t{w} + (std::int64_t{1} << shift) - 1) >> shift); };
  const int wanted = static_cast<int>((std::int64_t{kTilesPerThread} * threads + bands - 1) / bands);
  columnShift = 31;
  if (wanted > 1)
    for (columnShift = 6; columnShift < 30 && columnsAt(columnShift + 1) >= wanted;) ++columnShift;
  bins.assign(static_cast<std::size_t>(bands) * static_cast<std::size_t>(columnsAt(columnShift)), {});
}

// Tiles are handed out down the columns: threads that start at the same
// time work on tiles one above the other, whose rows share no cache line.
void Batch::RunTile(int claim) const {
  const auto& bin = bins[static_cast<std::size_t>(claim)];
  if (bin.empty()) return;
  const int band = claim % bands, column = claim / bands;
  const int y0 = band << kBandShift, y1 = std::min(y0 + kBandHeight, height) - 1;
  const std::int64_t x0 = std::int64_t{column} << columnShift;
  const int x1 = static_cast<int>(std::min<std::int64_t>(x0 + (std::int64_t{1} << columnShift), width) - 1);
  const std::size_t n = bin.size();
  for (std::size_t k = 0; k < n; ++k) {
    if (k + kSetupsAhead < n) PrefetchSetup(setups[bin[k + kSetupsAhead]]);
    FillTriangle(setups[bin[k]], static_cast<int>(x0), y0, x1, y1);
  }
}

TileQueue::TileQueue(int threads) : threads_(threads) {
  if (threads > 1) workers_ = std::make_unique<Workers>(threads - 1);
}

void TileQueue::Drain() {
  if (!workers_) return;
  Settle();
  workers_->Wait();
  if (!filling_.Empty()) {
    std::swap(filling_, running_);
    workers_->Start(&running_);
    workers_->Wait();
    filling_.Clear();
  }
  running_.Clear();
}

void TileQueue::Settle() {
  if (pending_ != kNone) Stream(staged_[stage_ ^ 1], filling_.setups[pending_]);
  pending_ = kNone;
#if defined(__SSE2__)
  _mm_sfence();  // streamed stores are not ordered with the hand-over's
#endif
}

TriangleSetup& TileQueue::Next() { return workers_ ? staged_[stage_] : direct_; }

void TileQueue::Keep(std::uint64_t draw, const DrawContext& context) {
  if (!workers_) {
    FillTriangle(direct_, context.scissorX0, context.scissorY0, context.scissorX1, context.scissorY1);
    return;
  }
  Batch& b = filling_;
  // A batch's bands are set by its first triangle: a draw to a target of
  // another size drains the queue before it (ShapeDiffers).
  if (b.queued == 0) b.Shape(context.targetWidth, context.targetHeight, threads_);
  if (b.contextDraw != draw) {  // the draw's first triangle in this batch
    b.contexts.push_back(context);
    b.contextDraw = draw;
  }
  if (b.queued == b.setups.size()) b.setups.resize(b.setups.size() * 2 + 1024);
  auto index = static_cast<std::uint32_t>(b.queued++);
  TriangleSetup& setup = staged_[stage_];
  setup.context = &b.contexts.back();
  if (pending_ != kNone) Stream(staged_[stage_ ^ 1], b.setups[pending_]);
  pending_ = index;
  stage_ ^= 1;
  const int band0 = setup.yStart >> kBandShift, band1 = setup.yEnd >> kBandShift;
  for (int column = setup.xMin >> b.columnShift, last = setup.xMax >> b.columnShift; column <= last; ++column)
    for (int band = band0; band <= band1; ++band)
      b.bins[static_cast<std::size_t>(column) * static_cast<std::size_t>(b.bands) + static_cast<std::size_t>(band)]
          .push_back(index);
  const std::size_t queued = b.queued;
  if (queued >= kBatchTriangles || (queued % kEarlyBatch == 0 && workers_->Finished())) {
    // The workers fill this batch while the caller sets up the next.
    Settle();
    workers_->Wait();
    running_.Clear();
    std::swap(filling_, running_);
    workers_->Start(&running_);
  }
}

}  // namespace tarn::raster::detail
