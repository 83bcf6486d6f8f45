// The rasterizer's draw: state compilation (StateCompiler), the vertex stage
// (VertexStage), clipping (Clip), triangle and line set-up (Setup) and the
// queue that hands triangles to the worker threads band by band (Bins,
// Workers), run a piece of a draw at a time.
#include "platform/raster/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>
#if defined(__linux__)
#include <sched.h>
#endif

#include "platform/raster/Bins.h"
#include "platform/raster/Clip.h"
#include "platform/raster/RasterLocal.h"
#include "platform/raster/Setup.h"
#include "platform/raster/StateCompiler.h"
#include "platform/raster/VertexStage.h"

namespace tarn::raster {

using namespace detail;

class Rasterizer::Impl {
 public:
  explicit Impl(int threads) : threads_(std::clamp(threads, 1, 64)), queue_(threads_), compiler_(queue_.Queued()) {}
  ~Impl() { Flush(); }

  void Draw(const State& s, Primitive primitive, const Vertices& in, const Target& t);
  void Clear(const Target& t, int x1, int y1, int x2, int y2, bool colour, std::uint16_t rgb565, bool depth,
             float z);
  void Flush() {
    queue_.Drain();
    // No draw is under way and nothing queued refers to these now, whatever
    // the thread count; a single thread needs the trim as much, or a state
    // that keeps changing grows the cache without end.
    compiler_.Trim();
  }
  int Threads() const { return threads_; }
  Counters counters;

 private:
  // The stages of a draw.
  void DrawLines(const State& s, const CompiledDraw& d, SpanFn span, std::size_t n);
  void DrawTriangles(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t n);
  void EmitTriangle(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t i);
  void EmitClipped(const State& s, const CompiledDraw& d, const Loops& loops, std::size_t i, unsigned planes);

  int threads_;
  TileQueue queue_;
  StateCompiler compiler_;
  std::uint64_t draws_ = 0;
  VertexStage vertexStage_;
};

void Rasterizer::Impl::Draw(const State& s, Primitive primitive, const Vertices& in, const Target& t) {
  if (!t.colour || t.width <= 0 || t.height <= 0 || !in.data || in.stride < 12) return;
  std::size_t count = primitive == Primitive::TriangleList ? in.count - in.count % 3 : in.count - in.count % 2;
  if (count == 0) return;
  ++draws_;
  // A batch's bands are its target's: another size starts a new batch.
  if (queue_.ShapeDiffers(t.width, t.height)) queue_.Drain();
  CompiledDraw d;
  if (!compiler_.Compile(s, t, d)) return;
  // Lines are drawn on this thread, after everything queued before them.
  if (primitive == Primitive::LineList) queue_.Drain();
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
#if defined(__SSE2__)
  // Lane k is vertex i + k; the arrays are padded for the fourth lane.
  TriangleLanes tri;
  tri.iw = _mm_loadu_ps(&out.iw[i]);
  __m128 u = _mm_loadu_ps(&out.u[i]), v = _mm_loadu_ps(&out.v[i]);
  if (d.textured) ReduceUv3(u, v);
  tri.uw = _mm_mul_ps(u, tri.iw);
  tri.vw = _mm_mul_ps(v, tri.iw);
  tri.z = _mm_loadu_ps(&out.dz[i]);
  tri.r = _mm_loadu_ps(&out.r[i]);
  tri.g = _mm_loadu_ps(&out.g[i]);
  tri.b = _mm_loadu_ps(&out.b[i]);
  tri.a = _mm_loadu_ps(&out.a[i]);
  for (std::size_t k = 0; k < 3; ++k) {
    tri.xi[k] = out.xi[i + k];
    tri.yi[k] = out.yi[i + k];
    tri.x[k] = out.sx[i + k];
    tri.y[k] = out.sy[i + k];
  }
  if (SetUpTriangle(&d.c, loops, area, tri, s.gouraud, counters, queue_.Next())) queue_.Keep(draws_, d.c);
#else
  float u[3] = {out.u[i], out.u[i + 1], out.u[i + 2]}, v[3] = {out.v[i], out.v[i + 1], out.v[i + 2]};
  if (d.textured) ReduceUv3(u, v);
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
  if (SetUpTriangle(&d.c, loops, area, sv[0], sv[1], sv[2], s.gouraud, counters, queue_.Next())) queue_.Keep(draws_, d.c);
#endif
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
    if (!(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w) && v.w > 0.0f)) return;
  }
  ScreenVertex sv[16];
  for (int k = 0; k < m; ++k) sv[k] = Project(poly[k], d.viewport);
  for (int k = 1; k + 1 < m; ++k) {
    const ScreenVertex &a = sv[0], &b = sv[k], &c = sv[k + 1];
    std::int64_t area = FacingArea(a.xi, a.yi, b.xi, b.yi, c.xi, c.yi, s.cull, counters);
    if (area != 0 && SetUpTriangle(&d.c, loops, area, a, b, c, s.gouraud, counters, queue_.Next()))
      queue_.Keep(draws_, d.c);
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
  impl_->Clear(t, x1, y1, x2, y2, colour, rgb565, depth, z);
}

void Rasterizer::Impl::Clear(const Target& t, int x1, int y1, int x2, int y2, bool colour, std::uint16_t rgb565,
                             bool depth, float z) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, t.width);
  y2 = std::min(y2, t.height);
  colour = colour && t.colour;
  depth = depth && t.depth && (t.depthBytes == 2 || t.depthBytes == 4);
  if (x1 >= x2 || y1 >= y2 || !(colour || depth)) return;
  ++draws_;
  if (queue_.ShapeDiffers(t.width, t.height)) queue_.Drain();
  DrawContext c;
  c.Aim(t);
  c.scissorX0 = x1;
  c.scissorY0 = y1;
  c.scissorX1 = x2 - 1;
  c.scissorY1 = y2 - 1;
  ClearValues v;
  v.colour = colour;
  v.rgb565 = rgb565;
  v.depthBytes = depth ? static_cast<std::uint8_t>(t.depthBytes) : 0;
  const float zc = std::min(std::max(std::isfinite(z) ? z : 1.0f, 0.0f), 1.0f);
  const int bits = DepthBitsOf(t);
  const std::uint32_t maxDepth = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u);
  v.depth = static_cast<std::uint32_t>(static_cast<double>(zc) * maxDepth + 0.5);
  SetUpClear(&c, v, x1, y1, x2 - 1, y2 - 1, queue_.Next());
  queue_.Keep(draws_, c);
}

}  // namespace tarn::raster
