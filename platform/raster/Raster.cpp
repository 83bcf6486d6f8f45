// The rasterizer's stages: state compilation (cached while the state stays
// the same), the vertex stage, clipping, triangle and line set-up, and the
// queue that hands triangles to the worker threads tile by tile.
#include "platform/raster/Raster.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#if defined(__linux__)
#include <sched.h>
#endif

#include "platform/raster/RasterLocal.h"
#include "platform/raster/VertexStage.h"

namespace tarn::raster {
namespace {

using namespace detail;

// Triangles queued before the workers get them: enough to keep them busy
// while the calling thread sets up the next batch.
constexpr std::size_t kBatchTriangles = 8192;

bool Finite(float v) { return std::isfinite(v); }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

bool IsPow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// A vertex on the screen: snapped position and the interpolants.
struct ScreenVertex {
  std::int64_t xi, yi;  // 1/16 pixel
  float x, y;           // snapped, in pixels
  Interp p;
};

ScreenVertex Project(const ClipVertex& v, const ViewportMap& m) {
  ScreenVertex o;
  ProjectedPosition q = ProjectPosition(v.x, v.y, v.z, v.w, m);
  o.xi = q.xi;
  o.yi = q.yi;
  o.x = q.x;
  o.y = q.y;
  o.p = Interp{q.iw, v.u * q.iw, v.v * q.iw, q.z, v.r, v.g, v.b, v.a};
  return o;
}

inline ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t) {
  ClipVertex o;
  o.x = a.x + (b.x - a.x) * t;
  o.y = a.y + (b.y - a.y) * t;
  o.z = a.z + (b.z - a.z) * t;
  o.w = a.w + (b.w - a.w) * t;
  o.r = a.r + (b.r - a.r) * t;
  o.g = a.g + (b.g - a.g) * t;
  o.b = a.b + (b.b - a.b) * t;
  o.a = a.a + (b.a - a.a) * t;
  o.u = a.u + (b.u - a.u) * t;
  o.v = a.v + (b.v - a.v) * t;
  return o;
}

// The signed distance of a clip vertex to a plane; >= 0 is inside. The
// outcode's tests (OutcodeOf) are these distances' signs, except that w is
// cut a little above 0, where the projection still holds.
inline float PlaneDistance(const ClipVertex& v, int plane) {
  switch (plane) {
    case kNearPlane: return v.z;
    case kFarPlane: return v.w - v.z;
    case kLeftPlane: return kGuardBand * v.w + v.x;
    case kRightPlane: return kGuardBand * v.w - v.x;
    case kBottomPlane: return kGuardBand * v.w + v.y;
    case kTopPlane: return kGuardBand * v.w - v.y;
    default: return v.w - 1e-6f;
  }
}

// Sutherland-Hodgman against the planes in `code`; returns the count.
int ClipPolygon(ClipVertex* poly, int n, unsigned code, ClipVertex* scratch) {
  ClipVertex* in = poly;
  ClipVertex* out = scratch;
  for (int plane = 0; plane < kClipPlanes && n > 0; ++plane) {
    if (!(code & (1u << plane))) continue;
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const ClipVertex& a = in[i];
      const ClipVertex& b = in[(i + 1) % n];
      float da = PlaneDistance(a, plane), db = PlaneDistance(b, plane);
      if (da >= 0.0f) out[m++] = a;
      if ((da >= 0.0f) != (db >= 0.0f)) out[m++] = Lerp(a, b, da / (da - db));
    }
    n = m;
    std::swap(in, out);
  }
  if (in != poly)
    for (int i = 0; i < n; ++i) poly[i] = in[i];
  return n;
}

// Texture coordinates only matter modulo 1 for wrapping: move each
// primitive's near the origin so that float precision holds per pixel.
void ReduceUv(float* u, float* v, int n) {
  float minU = u[0], minV = v[0];
  for (int i = 1; i < n; ++i) {
    minU = std::min(minU, u[i]);
    minV = std::min(minV, v[i]);
  }
  float fu = std::floor(minU), fv = std::floor(minV);
  for (int i = 0; i < n; ++i) {
    u[i] = std::min(u[i] - fu, 1024.0f);  // keeps u x width x 256 inside 32 bits
    v[i] = std::min(v[i] - fv, 1024.0f);
  }
}

void ReduceUv(ClipVertex* vertices, int n) {  // a line or a triangle
  float u[3], v[3];
  for (int i = 0; i < n; ++i) {
    u[i] = vertices[i].u;
    v[i] = vertices[i].v;
  }
  ReduceUv(u, v, n);
  for (int i = 0; i < n; ++i) {
    vertices[i].u = u[i];
    vertices[i].v = v[i];
  }
}

// Twice a triangle's signed area, in 1/256 square pixel, when it is to be drawn; 0
// when it is degenerate or culled (counted).
std::int64_t FacingArea(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::int64_t x2,
                        std::int64_t y2, Cull cull, Counters& counters) {
  std::int64_t area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
  if (area == 0) return 0;
  if ((cull == Cull::Ccw && area < 0) || (cull == Cull::Cw && area > 0)) {
    ++counters.trianglesCulled;
    return 0;
  }
  return area;
}

// The loops one piece of a draw fills with.
struct Loops {
  SpanFn span;
  FillFn fill;
};

// The set-up of a triangle that FacingArea passed (`area` is its result);
// false when it covers no pixel centre's row or column inside the scissor.
bool SetUpTriangle(const DrawContext* ctx, const Loops& loops, std::int64_t area, ScreenVertex v0, ScreenVertex v1,
                   ScreenVertex v2, bool gouraud, Counters& counters, TriangleSetup& t) {
  if (!gouraud) {  // flat: the first vertex's colour everywhere
    v1.p.r = v2.p.r = v0.p.r;
    v1.p.g = v2.p.g = v0.p.g;
    v1.p.b = v2.p.b = v0.p.b;
    v1.p.a = v2.p.a = v0.p.a;
  }
  if (area < 0) std::swap(v1, v2);
  ++counters.trianglesDrawn;

  const DrawContext& c = *ctx;
  std::int64_t minY = std::min({v0.yi, v1.yi, v2.yi}), maxY = std::max({v0.yi, v1.yi, v2.yi});
  std::int64_t minX = std::min({v0.xi, v1.xi, v2.xi}), maxX = std::max({v0.xi, v1.xi, v2.xi});
  t.yStart = static_cast<int>(std::max<std::int64_t>(CeilDiv(minY, kSubPixel), c.scissorY0));
  t.yEnd = static_cast<int>(std::min<std::int64_t>(FloorDiv(maxY, kSubPixel), c.scissorY1));
  t.xMin = static_cast<int>(std::max<std::int64_t>(CeilDiv(minX, kSubPixel), c.scissorX0));
  t.xMax = static_cast<int>(std::min<std::int64_t>(FloorDiv(maxX, kSubPixel), c.scissorX1));
  if (t.yStart > t.yEnd || t.xMin > t.xMax) return false;
  t.context = ctx;
  t.span = loops.span;
  t.fill = loops.fill;

  // Interpolant gradients from the snapped positions.
  float x10 = v1.x - v0.x, y10 = v1.y - v0.y, x20 = v2.x - v0.x, y20 = v2.y - v0.y;
  float inv = 1.0f / (x10 * y20 - x20 * y10);
  auto grad = [&](float a0, float a1, float a2, float& dx, float& dy) {
    float a10 = a1 - a0, a20 = a2 - a0;
    dx = (a10 * y20 - a20 * y10) * inv;
    dy = (a20 * x10 - a10 * x20) * inv;
  };
  grad(v0.p.iw, v1.p.iw, v2.p.iw, t.ddx.iw, t.ddy.iw);
  grad(v0.p.uw, v1.p.uw, v2.p.uw, t.ddx.uw, t.ddy.uw);
  grad(v0.p.vw, v1.p.vw, v2.p.vw, t.ddx.vw, t.ddy.vw);
  grad(v0.p.z, v1.p.z, v2.p.z, t.ddx.z, t.ddy.z);
  grad(v0.p.r, v1.p.r, v2.p.r, t.ddx.r, t.ddy.r);
  grad(v0.p.g, v1.p.g, v2.p.g, t.ddx.g, t.ddy.g);
  grad(v0.p.b, v1.p.b, v2.p.b, t.ddx.b, t.ddy.b);
  grad(v0.p.a, v1.p.a, v2.p.a, t.ddx.a, t.ddy.a);
  t.x0 = v0.x;
  t.y0 = v0.y;
  t.p0 = v0.p;

  const ScreenVertex* vs[3] = {&v0, &v1, &v2};
  for (int i = 0; i < 3; ++i) {
    const ScreenVertex& a = *vs[i];
    const ScreenVertex& b = *vs[(i + 1) % 3];
    Edge& e = t.edges[i];
    e.xa = static_cast<std::int32_t>(a.xi);
    e.ya = static_cast<std::int32_t>(a.yi);
    e.dx = static_cast<std::int32_t>(b.xi - a.xi);
    e.dy = static_cast<std::int32_t>(b.yi - a.yi);
    bool topLeft = (e.dy == 0 && e.dx > 0) || e.dy < 0;
    e.bias = topLeft ? 0 : -1;
  }
  return true;
}

void DrawLine(const DrawContext& c, SpanFn span, const ScreenVertex& a, const ScreenVertex& b, bool lastPixel,
              Counters& counters) {
  float dx = b.x - a.x, dy = b.y - a.y;
  float len = std::max(std::fabs(dx), std::fabs(dy));
  // Clipped lines are a few viewports long at most; a longer one is hostile.
  if (!(len < 65536.0f)) return;
  int steps = static_cast<int>(std::ceil(len));
  ++counters.linesDrawn;
  Interp zero{};
  int last = lastPixel ? steps : steps - 1;
  for (int i = 0; i <= last; ++i) {
    float t = steps > 0 ? static_cast<float>(i) / static_cast<float>(steps) : 0.0f;
    int x = static_cast<int>(std::floor(a.x + dx * t + 0.5f));
    int y = static_cast<int>(std::floor(a.y + dy * t + 0.5f));
    if (x < c.scissorX0 || x > c.scissorX1 || y < c.scissorY0 || y > c.scissorY1) continue;
    Interp p{a.p.iw + (b.p.iw - a.p.iw) * t, a.p.uw + (b.p.uw - a.p.uw) * t, a.p.vw + (b.p.vw - a.p.vw) * t,
             a.p.z + (b.p.z - a.p.z) * t,    a.p.r + (b.p.r - a.p.r) * t,    a.p.g + (b.p.g - a.p.g) * t,
             a.p.b + (b.p.b - a.p.b) * t,    a.p.a + (b.p.a - a.p.a) * t};
    span(c, y, x, x, x, p, zero);
  }
}

// Cuts the line a-b to the planes its ends' outcodes name; false when
// nothing of it is left.
bool ClipLine(ClipVertex& a, ClipVertex& b, unsigned codeA, unsigned codeB) {
  if (codeA & codeB) return false;
  unsigned any = codeA | codeB;
  float t0 = 0.0f, t1 = 1.0f;
  for (int plane = 0; plane < kClipPlanes; ++plane) {
    if (!(any & (1u << plane))) continue;
    float da = PlaneDistance(a, plane), db = PlaneDistance(b, plane);
    if (da < 0.0f && db < 0.0f) return false;
    if (da < 0.0f) t0 = std::max(t0, da / (da - db));
    else if (db < 0.0f) t1 = std::min(t1, da / (da - db));
  }
  if (t0 > t1) return false;
  ClipVertex from = t0 > 0.0f ? Lerp(a, b, t0) : a;
  ClipVertex to = t1 < 1.0f ? Lerp(a, b, t1) : b;
  if (!(Finite(from.w) && Finite(to.w) && from.w > 0.0f && to.w > 0.0f)) return false;
  a = from;
  b = to;
  return true;
}

// What the fog and alpha-test tables are built from.
struct ShadingKey {
  Fog fog = Fog::None;
  float density = 0, start = 0, end = 0;
  std::uint32_t colour = 0;
  Compare alphaFunc = Compare::Always;
  std::uint8_t alphaRef = 0;
  bool operator==(const ShadingKey&) const = default;
};

ShadingKey KeyOf(const State& s) {
  ShadingKey k;
  k.fog = s.fog;
  if (s.fog != Fog::None) {
    k.density = s.fogDensity;
    k.start = s.fogStart;
    k.end = s.fogEnd;
    k.colour = s.fogColour;
  }
  k.alphaFunc = s.alphaFunc;
  k.alphaRef = s.alphaRef;
  return k;
}

void BuildShading(const ShadingKey& k, Shading& c) {
  float range;  // distance at which the table ends (fog complete or constant beyond)
  switch (k.fog) {
    case Fog::Exp: range = k.density > 0.0f ? 12.0f / k.density : 0.0f; break;
    case Fog::Exp2: range = k.density > 0.0f ? 4.0f / k.density : 0.0f; break;
    case Fog::Linear: range = std::max(k.end, 0.0f); break;
    default: range = 0.0f; break;
  }
  if (!(range > 0.0f) || !std::isfinite(range)) {  // no fog at any distance
    for (auto& v : c.fogTable) v = k.fog == Fog::Linear ? 0 : 256;
    c.fogScale = 0.0f;
  } else {
    c.fogScale = static_cast<float>(kFogTable - 1) / range;
    for (int i = 0; i < kFogTable; ++i) {
      float d = (static_cast<float>(i) + 0.5f) / c.fogScale;
      float f;
      if (k.fog == Fog::Exp) {
        f = std::exp(-d * k.density);
      } else if (k.fog == Fog::Exp2) {
        float t = d * k.density;
        f = std::exp(-t * t);
      } else {
        f = k.end != k.start ? (k.end - d) / (k.end - k.start) : (d < k.end ? 1.0f : 0.0f);
      }
      f = std::min(std::max(f, 0.0f), 1.0f);
      c.fogTable[i] = static_cast<std::int32_t>(std::lrint(f * 256.0f));
    }
  }
  c.fogR = static_cast<int>((k.colour >> 16) & 255);
  c.fogG = static_cast<int>((k.colour >> 8) & 255);
  c.fogB = static_cast<int>(k.colour & 255);
  for (int a = 0; a < 256; ++a) c.alphaPass[a] = Passes(k.alphaFunc, static_cast<std::uint32_t>(a), k.alphaRef);
}

bool UsesTexture(TextureOp op, Arg a1, Arg a2) {
  switch (op) {
    case TextureOp::Modulate: return a1 == Arg::Texture || a2 == Arg::Texture;
    case TextureOp::SelectArg1: return a1 == Arg::Texture;
    case TextureOp::SelectArg2: return a2 == Arg::Texture;
    default: return false;
  }
}

void TextureMode(TextureOp op, Arg a1, Arg a2, TextureOp& outOp, bool& tex1) {
  bool t1 = a1 == Arg::Texture, t2 = a2 == Arg::Texture;
  if (op == TextureOp::Modulate && !(t1 || t2)) op = TextureOp::Disable;
  if (op == TextureOp::Modulate && t1 && t2) op = TextureOp::SelectArg1;  // texture x texture: rare; keep it simple
  if (op == TextureOp::SelectArg1 && !t1) op = TextureOp::Disable;
  if (op == TextureOp::SelectArg2 && !t2) op = TextureOp::Disable;
  outOp = op;
  tex1 = op != TextureOp::SelectArg2;
}

// The triangles of one batch, binned by screen tile.
struct Batch {
  std::vector<TriangleSetup> setups;
  std::deque<DrawContext> contexts;  // stable addresses for the set-ups
  std::vector<std::vector<std::uint32_t>> bins;
  std::uint64_t contextDraw = 0;  // the draw whose context was copied last
  int tilesX = 0, tilesY = 0, width = 0, height = 0;

  void Clear() {
    setups.clear();
    contexts.clear();
    for (auto& b : bins) b.clear();
    contextDraw = 0;
  }
  void Shape(int w, int h) {  // the tile grid of a target size
    if (w == width && h == height) return;
    width = w;
    height = h;
    tilesX = (w + kTileWidth - 1) >> kTileShiftX;
    tilesY = (h + kTileHeight - 1) >> kTileShiftY;
    bins.assign(static_cast<std::size_t>(tilesX) * static_cast<std::size_t>(tilesY), {});
  }
  bool Empty() const { return setups.empty(); }
  // Tiles are handed out down the columns: threads that start at the same
  // time work on tiles one above the other, whose rows share no cache line,
  // rather than side by side.
  void FillTile(int claim) const {
    int tx = claim / tilesY, ty = claim % tilesY;
    const auto& bin = bins[static_cast<std::size_t>(ty * tilesX + tx)];
    if (bin.empty()) return;
    int x0 = tx << kTileShiftX, y0 = ty << kTileShiftY;
    int x1 = std::min(x0 + kTileWidth, width) - 1, y1 = std::min(y0 + kTileHeight, height) - 1;
    for (std::uint32_t i : bin) FillTriangle(setups[i], x0, y0, x1, y1);
  }
};

// Worker threads that fill the tiles of one batch at a time. Each tile is
// filled by one thread, in the order of its bin; which thread does not
// matter to the pixels.
class Workers {
 public:
  explicit Workers(int count) {
    // A thread the system refuses leaves fewer workers; the caller's thread
    // fills whatever they do not.
    try {
      for (int i = 0; i < count; ++i) threads_.emplace_back([this] { Loop(); });
    } catch (const std::system_error&) {
    }
  }
  ~Workers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Hands a batch over; the caller keeps it unchanged until Wait returns.
  void Start(const Batch* batch) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = batch;
      tiles_ = static_cast<int>(batch->bins.size());
      ++generation_;
      remaining_.store(tiles_, std::memory_order_relaxed);
      claim_.store(static_cast<std::uint64_t>(generation_) << 32, std::memory_order_release);
      busy_ = true;
    }
    wake_.notify_all();
  }
  // Fills tiles of the current batch beside the workers until none is left.
  void Wait() {
    if (!busy_) return;
    Work(job_, generation_, tiles_);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return remaining_.load(std::memory_order_acquire) == 0; });
    busy_ = false;
  }
  bool Busy() const { return busy_; }

 private:
  // Claims the next tile of generation `gen`; -1 when there is none.
  int Claim(std::uint32_t gen, int tiles) {
    std::uint64_t c = claim_.load(std::memory_order_acquire);
    for (;;) {
      if (static_cast<std::uint32_t>(c >> 32) != gen) return -1;
      int next = static_cast<int>(c & 0xFFFFFFFFu);
      if (next >= tiles) return -1;
      if (claim_.compare_exchange_weak(c, c + 1, std::memory_order_acq_rel, std::memory_order_acquire)) return next;
    }
  }
  void Work(const Batch* job, std::uint32_t gen, int tiles) {
    for (int tile; (tile = Claim(gen, tiles)) >= 0;) {
      job->FillTile(tile);
      if (remaining_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        std::lock_guard<std::mutex> lock(mutex_);
        done_.notify_all();
      }
    }
  }
  void Loop() {
    std::uint32_t seen = 0;
    for (;;) {
      const Batch* job;
      std::uint32_t gen;
      int tiles;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
        if (quit_) return;
        seen = gen = generation_;
        job = job_;
        tiles = tiles_;
      }
      Work(job, gen, tiles);
    }
  }

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const Batch* job_ = nullptr;
  int tiles_ = 0;
  std::uint32_t generation_ = 0;
  std::atomic<std::uint64_t> claim_{0};  // generation << 32 | next tile
  std::atomic<int> remaining_{0};
  bool quit_ = false;
  bool busy_ = false;  // the caller's view: a batch was started and not waited for
};

// What a draw compiles to before its vertices are read: the context its
// pixels are drawn with, and what decides its loops.
struct CompiledDraw {
  DrawContext c;
  ViewportMap viewport;
  int depthBytes = 0;
  bool textured = false, fog = false, blend = false;
};

// The loops for a piece of a draw. Pixels that are all opaque need neither
// the alpha test (a reference up to 255 passes 255 for >=) nor SRCALPHA /
// INVSRCALPHA blending.
Loops PickLoops(const State& s, const CompiledDraw& d, bool verticesOpaque) {
  const DrawContext& c = d.c;
  bool opaque = (!d.textured || (s.texture->opaque && c.alphaOp == TextureOp::Modulate)) && verticesOpaque;
  bool alphaTest = s.alphaTest && s.alphaFunc != Compare::Always &&
                   !(opaque && (s.alphaFunc == Compare::GreaterEqual || s.alphaFunc == Compare::LessEqual));
  bool blend = d.blend && !(opaque && c.srcAlphaBlend);
  return Loops{PickSpan(c, d.textured, s.bilinear, d.fog, blend, alphaTest, s.dither, d.depthBytes),
               PickFill(c, d.textured, s.bilinear, d.fog, blend, alphaTest, d.depthBytes)};
}

}  // namespace

class Rasterizer::Impl {
 public:
  explicit Impl(int threads) : threads_(std::clamp(threads, 1, 64)) {
    if (threads_ > 1) workers_ = std::make_unique<Workers>(threads_ - 1);
  }
  ~Impl() { Flush(); }

  void Draw(const State& s, Primitive primitive, const Vertices& in, const Target& t);
  void Flush() {
    Drain();
    // No draw is under way and nothing queued refers to these now, whatever
    // the thread count; a single thread needs the trim as much, or a state
    // that keeps changing grows the cache without end.
    textureCopies_.clear();
    if (shadings_.size() > 32) shadings_.clear();
  }
  int Threads() const { return threads_; }
  Counters counters;

 private:
  // Fills everything queued, and leaves the shadings and texture copies
  // alone: before a line list, Draw calls it with its own context already
  // pointing at them.
  void Drain() {
    if (!workers_) return;
    workers_->Wait();
    if (!filling_.Empty()) {
      std::swap(filling_, running_);
      workers_->Start(&running_);
      workers_->Wait();
      filling_.Clear();
    }
    running_.Clear();
  }
  const Shading* ShadingFor(const State& s);
  void Submit(const DrawContext& context, const TriangleSetup& setup);
  // The stages of a draw.
  bool Compile(const State& s, const Target& t, CompiledDraw& d);
  const std::uint32_t* WrappedTexels(const Texture& texture);
  void DrawLines(const State& s, const CompiledDraw& d, SpanFn span, std::size_t n);
  void DrawTriangles(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t n);
  void EmitTriangle(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t i);
  void EmitClipped(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t i, unsigned planes);

  int threads_;
  std::unique_ptr<Workers> workers_;
  Batch filling_, running_;
  std::uint64_t draws_ = 0;
  std::vector<std::pair<ShadingKey, std::unique_ptr<Shading>>> shadings_;
  std::deque<std::vector<std::uint32_t>> textureCopies_;  // textures given without the wrap column
  VertexStage vertexStage_;
};

const Shading* Rasterizer::Impl::ShadingFor(const State& s) {
  ShadingKey key = KeyOf(s);
  // The most recent first: a state that does not change finds itself at once.
  for (auto it = shadings_.rbegin(); it != shadings_.rend(); ++it)
    if (it->first == key) return it->second.get();
  auto shading = std::make_unique<Shading>();
  BuildShading(key, *shading);
  shadings_.emplace_back(key, std::move(shading));
  return shadings_.back().second.get();
}

void Rasterizer::Impl::Submit(const DrawContext& context, const TriangleSetup& setup) {
  if (!workers_) {
    FillTriangle(setup, context.scissorX0, context.scissorY0, context.scissorX1, context.scissorY1);
    return;
  }
  Batch& b = filling_;
  b.Shape(context.targetWidth, context.targetHeight);
  if (b.contextDraw != draws_) {  // the draw's first triangle in this batch
    b.contexts.push_back(context);
    b.contextDraw = draws_;
  }
  const DrawContext* ctx = &b.contexts.back();
  auto index = static_cast<std::uint32_t>(b.setups.size());
  b.setups.push_back(setup);
  b.setups.back().context = ctx;
  int tx0 = setup.xMin >> kTileShiftX, tx1 = setup.xMax >> kTileShiftX;
  int ty0 = setup.yStart >> kTileShiftY, ty1 = setup.yEnd >> kTileShiftY;
  for (int ty = ty0; ty <= ty1; ++ty)
    for (int tx = tx0; tx <= tx1; ++tx) b.bins[static_cast<std::size_t>(ty * b.tilesX + tx)].push_back(index);
  if (b.setups.size() >= kBatchTriangles) {
    // The workers fill this batch while the caller sets up the next.
    workers_->Wait();
    running_.Clear();
    std::swap(filling_, running_);
    workers_->Start(&running_);
  }
}

// The texels of a texture given without the wrap column the span loops rely
// on, copied with it; kept until nothing queued can read them.
const std::uint32_t* Rasterizer::Impl::WrappedTexels(const Texture& texture) {
  std::size_t from = texture.stride > texture.width ? static_cast<std::size_t>(texture.stride)
                                                    : static_cast<std::size_t>(texture.width);
  std::size_t w = static_cast<std::size_t>(texture.width);
  std::vector<std::uint32_t>& padded = textureCopies_.emplace_back((w + 1) * static_cast<std::size_t>(texture.height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(texture.height); ++y) {
    std::memcpy(&padded[y * (w + 1)], texture.texels + y * from, w * 4);
    padded[y * (w + 1) + w] = texture.texels[y * from];
  }
  const std::uint32_t* texels = padded.data();
  if (!workers_ && textureCopies_.size() > 1) textureCopies_.pop_front();  // nothing queued needs it
  return texels;
}

// The per-draw context; false when the viewport lies outside the target.
bool Rasterizer::Impl::Compile(const State& s, const Target& t, CompiledDraw& d) {
  DrawContext& c = d.c;
  // Scissor: the viewport inside the target.
  c.scissorX0 = std::max(s.viewportX, 0);
  c.scissorY0 = std::max(s.viewportY, 0);
  c.scissorX1 = std::min(s.viewportX + s.viewportWidth, t.width) - 1;
  c.scissorY1 = std::min(s.viewportY + s.viewportHeight, t.height) - 1;
  if (c.scissorX0 > c.scissorX1 || c.scissorY0 > c.scissorY1) return false;

  // Depth.
  d.depthBytes = (s.zEnable && t.depth && (t.depthBytes == 2 || t.depthBytes == 4)) ? t.depthBytes : 0;
  c.useW = s.useW;
  float wNear, wFar;
  DepthRangeOfProjection(s.projection, &wNear, &wFar);
  c.wNear = wNear;
  c.wScale = 1.0f / (wFar - wNear);
  int bits = std::min(std::max(t.depthBits, 1), t.depthBytes * 8);
  c.depthMax = static_cast<float>(bits >= 32 ? 4294967040.0 : static_cast<double>((1ull << bits) - 1));
  c.zFunc = s.zFunc;
  c.zWrite = s.zWrite;
  const float* pm = s.projection;
  c.fogFromW = !(pm[3] == 0.0f && pm[7] == 0.0f && pm[11] == 0.0f && pm[15] == 1.0f);

  // Texture stage 0. A stage that reads a missing texture passes the
  // diffuse colour through, as if the texture were opaque white.
  d.textured = s.texture && s.texture->texels && s.texture->width > 0 && s.texture->height > 0 &&
               (UsesTexture(s.colourOp, s.colourArg1, s.colourArg2) || UsesTexture(s.alphaOp, s.alphaArg1, s.alphaArg2));
  if (d.textured) {
    c.texW = s.texture->width;
    c.texH = s.texture->height;
    c.texels = s.texture->stride == c.texW + 1 ? s.texture->texels : WrappedTexels(*s.texture);
    c.texStride = c.texW + 1;
    c.texPow2 = IsPow2(c.texW) && IsPow2(c.texH);
    while ((1 << c.texShift) < c.texW) ++c.texShift;
    TextureMode(s.colourOp, s.colourArg1, s.colourArg2, c.colourOp, c.colourTex1);
    TextureMode(s.alphaOp, s.alphaArg1, s.alphaArg2, c.alphaOp, c.alphaTex1);
  }

  d.fog = s.fog != Fog::None;
  c.shading = ShadingFor(s);
  c.alphaFunc = s.alphaFunc;
  c.alphaRef = s.alphaRef;
  d.blend = s.blend && !(s.srcBlend == Blend::One && s.destBlend == Blend::Zero);
  c.srcBlend = s.srcBlend;
  c.destBlend = s.destBlend;
  c.srcAlphaBlend = s.srcBlend == Blend::SrcAlpha && s.destBlend == Blend::InvSrcAlpha;
  c.dither = s.dither;
  c.colour = reinterpret_cast<std::uint8_t*>(t.colour);
  c.colourPitch = t.colourPitch;
  c.depth = static_cast<std::uint8_t*>(t.depth);
  c.depthPitch = t.depthPitch;
  c.targetWidth = t.width;
  c.targetHeight = t.height;
  d.viewport = ViewportMap{static_cast<float>(s.viewportX),     static_cast<float>(s.viewportY),
                           static_cast<float>(s.viewportWidth), static_cast<float>(s.viewportHeight),
                           s.minZ,                              s.maxZ};
  return true;
}

void Rasterizer::Impl::Draw(const State& s, Primitive primitive, const Vertices& in, const Target& t) {
  if (!t.colour || t.width <= 0 || t.height <= 0 || !in.data || in.stride < 12) return;
  std::size_t count = primitive == Primitive::TriangleList ? in.count - in.count % 3 : in.count - in.count % 2;
  if (count == 0) return;
  ++draws_;
  // A batch's tile grid is its target's: another size starts a new batch.
  if (!filling_.Empty() && (filling_.width != t.width || filling_.height != t.height)) Drain();
  CompiledDraw d;
  if (!Compile(s, t, d)) return;
  // Lines are drawn on this thread, after everything queued before them.
  if (primitive == Primitive::LineList) Drain();
  // The vertex stage runs a piece of the draw at a time, so that its results
  // are still in the cache when the triangles read them.
  constexpr std::size_t kPiece = 3 * 1024;  // whole triangles and whole lines
  for (std::size_t first = 0; first < count; first += kPiece) {
    const std::size_t n = std::min(kPiece, count - first);
    Vertices piece = in;
    piece.data = in.data + first * in.stride;
    piece.count = n;
    vertexStage_.Run(s, d.viewport, piece, n);
    Loops loops = PickLoops(s, d, vertexStage_.AllOpaque());
    if (primitive == Primitive::LineList)
      DrawLines(s, d, loops.span, n);
    else
      DrawTriangles(s, d, loops, n);
  }
}

void Rasterizer::Impl::DrawLines(const State& s, const CompiledDraw& d, SpanFn span, std::size_t n) {
  const VertexArrays& out = vertexStage_.Out();
  const std::uint8_t* code = out.code.data();
  for (std::size_t i = 0; i < n; i += 2) {
    if ((code[i] | code[i + 1]) & kNotFinite) continue;
    ClipVertex pair[2] = {out.Clip(i), out.Clip(i + 1)};
    if (d.textured) ReduceUv(pair, 2);
    if (ClipLine(pair[0], pair[1], code[i], code[i + 1]))
      DrawLine(d.c, span, Project(pair[0], d.viewport), Project(pair[1], d.viewport), s.lastPixel, counters);
  }
}

void Rasterizer::Impl::DrawTriangles(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t n) {
  const std::uint8_t* code = vertexStage_.Out().code.data();
  for (std::size_t i = 0; i < n; i += 3) {
    ++counters.trianglesIn;
    unsigned c0 = code[i], c1 = code[i + 1], c2 = code[i + 2];
    if (c0 & c1 & c2) continue;  // wholly outside one plane
    unsigned any = c0 | c1 | c2;
    if (any & kNotFinite) continue;
    if (any)
      EmitClipped(s, d, loops, i, any);
    else
      EmitTriangle(s, d, loops, i);
  }
}

// A triangle inside the guard band, projected by the vertex stage.
void Rasterizer::Impl::EmitTriangle(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t i) {
  const VertexArrays& out = vertexStage_.Out();
  // Culling first: back faces cost no more than this.
  std::int64_t area =
      FacingArea(out.xi[i], out.yi[i], out.xi[i + 1], out.yi[i + 1], out.xi[i + 2], out.yi[i + 2], s.cull, counters);
  if (area == 0) return;
  float u[3] = {out.u[i], out.u[i + 1], out.u[i + 2]}, v[3] = {out.v[i], out.v[i + 1], out.v[i + 2]};
  if (d.textured) ReduceUv(u, v, 3);
  ScreenVertex sv[3];
  for (std::size_t k = 0; k < 3; ++k) {
    std::size_t j = i + k;
    float iw = out.iw[j];
    sv[k].xi = out.xi[j];
    sv[k].yi = out.yi[j];
    sv[k].x = out.sx[j];
    sv[k].y = out.sy[j];
    sv[k].p = Interp{iw, u[k] * iw, v[k] * iw, out.dz[j], out.r[j], out.g[j], out.b[j], out.a[j]};
  }
  TriangleSetup setup;
  if (SetUpTriangle(&d.c, loops, area, sv[0], sv[1], sv[2], s.gouraud, counters, setup)) Submit(d.c, setup);
}

// A triangle across the planes in `planes`: clipped, projected and drawn as a fan.
void Rasterizer::Impl::EmitClipped(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t i,
                                   unsigned planes) {
  const VertexArrays& out = vertexStage_.Out();
  ClipVertex poly[16], scratch[16];
  poly[0] = out.Clip(i);
  poly[1] = out.Clip(i + 1);
  poly[2] = out.Clip(i + 2);
  if (d.textured) ReduceUv(poly, 3);
  int m = ClipPolygon(poly, 3, planes, scratch);
  if (m < 3) return;
  for (int k = 0; k < m; ++k) {
    const ClipVertex& v = poly[k];
    // Clipping overflows on absurd coordinates.
    if (!(Finite(v.x) && Finite(v.y) && Finite(v.z) && Finite(v.w) && v.w > 0.0f)) return;
  }
  ScreenVertex sv[16];
  for (int k = 0; k < m; ++k) sv[k] = Project(poly[k], d.viewport);
  TriangleSetup setup;
  for (int k = 1; k + 1 < m; ++k) {
    const ScreenVertex &a = sv[0], &b = sv[k], &c = sv[k + 1];
    std::int64_t area = FacingArea(a.xi, a.yi, b.xi, b.yi, c.xi, c.yi, s.cull, counters);
    if (area != 0 && SetUpTriangle(&d.c, loops, area, a, b, c, s.gouraud, counters, setup)) Submit(d.c, setup);
  }
}

Rasterizer::Rasterizer(int threads) : impl_(std::make_unique<Impl>(threads)) {}
Rasterizer::~Rasterizer() = default;

void Rasterizer::Draw(const State& state, Primitive primitive, const Vertices& vertices, const Target& target) {
  impl_->Draw(state, primitive, vertices, target);
}
void Rasterizer::Flush() { impl_->Flush(); }
int Rasterizer::Threads() const { return impl_->Threads(); }
const Counters& Rasterizer::Stats() const { return impl_->counters; }

int DefaultRasterThreads() {
  if (const char* env = std::getenv("TARN_RASTER_THREADS")) {
    char* end = nullptr;
    long n = std::strtol(env, &end, 10);
    if (end != env && *end == '\0' && n >= 1 && n <= 64) return static_cast<int>(n);
  }
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n >= 1) return std::min(n, 64);
  }
#endif
  unsigned n = std::thread::hardware_concurrency();
  return n >= 1 ? static_cast<int>(std::min(n, 64u)) : 1;
}

void DepthRangeOfProjection(const float* m, float* wNear, float* wFar) {
  float p33 = m[10], p34 = m[11], p43 = m[14], p44 = m[15];
  if (p33 == 0.0f || p33 == p34) {
    *wNear = 0.0f;
    *wFar = 1.0f;
    return;
  }
  *wNear = p44 - p43 * p34 / p33;
  *wFar = p34 * (p44 - p43) / (p33 - p34) + p44;
  if (!(std::isfinite(*wNear) && std::isfinite(*wFar)) || *wFar == *wNear) {
    *wNear = 0.0f;
    *wFar = 1.0f;
  }
}

void Rasterizer::Clear(const Target& t, int x1, int y1, int x2, int y2, bool colour, std::uint16_t rgb565,
                       bool depth, float z) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, t.width);
  y2 = std::min(y2, t.height);
  if (x1 >= x2 || y1 >= y2) return;
  float zc = std::min(std::max(std::isfinite(z) ? z : 1.0f, 0.0f), 1.0f);
  std::uint32_t maxDepth = t.depthBits >= 32 ? 0xFFFFFFFFu : ((1u << t.depthBits) - 1u);
  std::uint32_t dv = static_cast<std::uint32_t>(static_cast<double>(zc) * maxDepth + 0.5);
  for (int y = y1; y < y2; ++y) {
    if (colour && t.colour) {
      auto* row = reinterpret_cast<std::uint16_t*>(reinterpret_cast<std::uint8_t*>(t.colour) +
                                                   static_cast<std::ptrdiff_t>(y) * t.colourPitch);
      std::fill(row + x1, row + x2, rgb565);
    }
    if (depth && t.depth) {
      std::uint8_t* row = static_cast<std::uint8_t*>(t.depth) + static_cast<std::ptrdiff_t>(y) * t.depthPitch;
      if (t.depthBytes == 2)
        std::fill(reinterpret_cast<std::uint16_t*>(row) + x1, reinterpret_cast<std::uint16_t*>(row) + x2,
                  static_cast<std::uint16_t>(dv));
      else
        std::fill(reinterpret_cast<std::uint32_t*>(row) + x1, reinterpret_cast<std::uint32_t*>(row) + x2, dv);
    }
  }
}

}  // namespace tarn::raster
