// Triangle and line set-up: snapped edges, interpolant gradients, the rows
// and columns inside the scissor.
#include "platform/raster/Setup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace tarn::raster::detail {

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

namespace {

// std::floor, exactly, without the library call that a build for the
// baseline instruction set makes of it: what is whole already (NaN,
// infinities and -0 among it) comes back as it went in.
inline float Floor(float x) {
  if (!(x > -8388608.0f && x < 8388608.0f)) return x;  // 2^23 and more: whole
  auto t = static_cast<float>(static_cast<std::int32_t>(x));  // toward zero
  if (t == x) return x;
  return t > x ? t - 1.0f : t;
}

// A triangle's rows and columns inside the scissor, its context and its
// loops; false when it covers no pixel centre's row or column there.
bool Place(const DrawContext* ctx, const Loops& loops, std::int64_t x0, std::int64_t y0, std::int64_t x1,
           std::int64_t y1, std::int64_t x2, std::int64_t y2, TriangleSetup& t) {
  const DrawContext& c = *ctx;
  std::int64_t minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
  std::int64_t minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
  // Whole pixels by shifts: an arithmetic shift right floors.
  static_assert(kSubPixel == 16, "the shifts below divide by 16");
  t.yStart = static_cast<int>(std::max<std::int64_t>(-(-minY >> 4), c.scissorY0));
  t.yEnd = static_cast<int>(std::min<std::int64_t>(maxY >> 4, c.scissorY1));
  t.xMin = static_cast<int>(std::max<std::int64_t>(-(-minX >> 4), c.scissorX0));
  t.xMax = static_cast<int>(std::min<std::int64_t>(maxX >> 4, c.scissorX1));
  if (t.yStart > t.yEnd || t.xMin > t.xMax) return false;
  t.context = ctx;
  t.span = loops.span;
  t.fill = t.xMax - t.xMin + 1 >= kWideFill ? loops.fill : loops.fillNarrow;
  return true;
}

// The edges 0->1, 1->2 and 2->0 of a triangle wound as the fill expects,
// each with the top-left rule's bias.
void SetEdges(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
              TriangleSetup& t) {
  const std::int64_t x[3] = {x0, x1, x2}, y[3] = {y0, y1, y2};
  for (int i = 0; i < 3; ++i) {
    const int j = i == 2 ? 0 : i + 1;
    Edge& e = t.edges[i];
    e.xa = static_cast<std::int32_t>(x[i]);
    e.ya = static_cast<std::int32_t>(y[i]);
    e.dx = static_cast<std::int32_t>(x[j] - x[i]);
    e.dy = static_cast<std::int32_t>(y[j] - y[i]);
    bool topLeft = (e.dy == 0 && e.dx > 0) || e.dy < 0;
    e.bias = topLeft ? 0 : -1;
  }
}

}  // namespace

void ReduceUv(float* u, float* v, int n) {
  float minU = u[0], minV = v[0];
  for (int i = 1; i < n; ++i) {
    minU = std::min(minU, u[i]);
    minV = std::min(minV, v[i]);
  }
  float fu = Floor(minU), fv = Floor(minV);
  for (int i = 0; i < n; ++i) {
    u[i] = std::min(u[i] - fu, 1024.0f);  // keeps u x width x 256 inside 32 bits
    v[i] = std::min(v[i] - fv, 1024.0f);
  }
}

#if defined(__SSE2__)
void ReduceUv3(float* u, float* v) {
  __m128 u4 = _mm_setr_ps(u[0], u[1], u[2], 0.0f), v4 = _mm_setr_ps(v[0], v[1], v[2], 0.0f);
  ReduceUv3(u4, v4);
  alignas(16) float ou[4], ov[4];
  _mm_store_ps(ou, u4);
  _mm_store_ps(ov, v4);
  for (int i = 0; i < 3; ++i) {
    u[i] = ou[i];
    v[i] = ov[i];
  }
}
#else
void ReduceUv3(float* u, float* v) { ReduceUv(u, v, 3); }
#endif

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

#if defined(__SSE2__)
bool SetUpTriangle(const DrawContext* ctx, const Loops& loops, std::int64_t area, const TriangleLanes& tri, bool gouraud,
                   Counters& counters, TriangleSetup& t) {
  // Vertex k's interpolants, (iw uw vw z) and (r g b a), are lane k of
  // these rows after the transposes.
  __m128 lo0 = tri.iw, lo1 = tri.uw, lo2 = tri.vw, lo3 = tri.z;
  __m128 hi0 = tri.r, hi1 = tri.g, hi2 = tri.b, hi3 = tri.a;
  if (!gouraud) {  // flat: the first vertex's colour everywhere
    hi0 = _mm_shuffle_ps(hi0, hi0, 0);
    hi1 = _mm_shuffle_ps(hi1, hi1, 0);
    hi2 = _mm_shuffle_ps(hi2, hi2, 0);
    hi3 = _mm_shuffle_ps(hi3, hi3, 0);
  }
  _MM_TRANSPOSE4_PS(lo0, lo1, lo2, lo3);
  _MM_TRANSPOSE4_PS(hi0, hi1, hi2, hi3);
  int i1 = 1, i2 = 2;
  if (area < 0) {
    std::swap(lo1, lo2);
    std::swap(hi1, hi2);
    std::swap(i1, i2);
  }
  ++counters.trianglesDrawn;

  const std::int64_t* xi = tri.xi;
  const std::int64_t* yi = tri.yi;
  if (!Place(ctx, loops, xi[0], yi[0], xi[1], yi[1], xi[2], yi[2], t)) return false;

  // Interpolant gradients from the snapped positions, all eight at once,
  // each in the order the scalar form spells it.
  float x10 = tri.x[i1] - tri.x[0], y10 = tri.y[i1] - tri.y[0], x20 = tri.x[i2] - tri.x[0],
        y20 = tri.y[i2] - tri.y[0];
  float inv = 1.0f / (x10 * y20 - x20 * y10);
  const __m128 vx10 = _mm_set1_ps(x10), vy10 = _mm_set1_ps(y10), vx20 = _mm_set1_ps(x20), vy20 = _mm_set1_ps(y20),
               vinv = _mm_set1_ps(inv);
  auto* gx = reinterpret_cast<float*>(&t.ddx);
  auto* gy = reinterpret_cast<float*>(&t.ddy);
  auto* p0 = reinterpret_cast<float*>(&t.p0);
  const __m128 lo10 = _mm_sub_ps(lo1, lo0), lo20 = _mm_sub_ps(lo2, lo0);
  const __m128 hi10 = _mm_sub_ps(hi1, hi0), hi20 = _mm_sub_ps(hi2, hi0);
  _mm_storeu_ps(gx, _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(lo10, vy20), _mm_mul_ps(lo20, vy10)), vinv));
  _mm_storeu_ps(gy, _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(lo20, vx10), _mm_mul_ps(lo10, vx20)), vinv));
  _mm_storeu_ps(gx + 4, _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(hi10, vy20), _mm_mul_ps(hi20, vy10)), vinv));
  _mm_storeu_ps(gy + 4, _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(hi20, vx10), _mm_mul_ps(hi10, vx20)), vinv));
  _mm_storeu_ps(p0, lo0);
  _mm_storeu_ps(p0 + 4, hi0);
  t.x0 = tri.x[0];
  t.y0 = tri.y[0];

  SetEdges(xi[0], yi[0], xi[i1], yi[i1], xi[i2], yi[i2], t);
  return true;
}

bool SetUpTriangle(const DrawContext* ctx, const Loops& loops, std::int64_t area, ScreenVertex v0, ScreenVertex v1,
                   ScreenVertex v2, bool gouraud, Counters& counters, TriangleSetup& t) {
  TriangleLanes tri;
  const ScreenVertex* vs[3] = {&v0, &v1, &v2};
  for (int k = 0; k < 3; ++k) {
    tri.x[k] = vs[k]->x;
    tri.y[k] = vs[k]->y;
    tri.xi[k] = vs[k]->xi;
    tri.yi[k] = vs[k]->yi;
  }
  tri.iw = _mm_setr_ps(v0.p.iw, v1.p.iw, v2.p.iw, 0.0f);
  tri.uw = _mm_setr_ps(v0.p.uw, v1.p.uw, v2.p.uw, 0.0f);
  tri.vw = _mm_setr_ps(v0.p.vw, v1.p.vw, v2.p.vw, 0.0f);
  tri.z = _mm_setr_ps(v0.p.z, v1.p.z, v2.p.z, 0.0f);
  tri.r = _mm_setr_ps(v0.p.r, v1.p.r, v2.p.r, 0.0f);
  tri.g = _mm_setr_ps(v0.p.g, v1.p.g, v2.p.g, 0.0f);
  tri.b = _mm_setr_ps(v0.p.b, v1.p.b, v2.p.b, 0.0f);
  tri.a = _mm_setr_ps(v0.p.a, v1.p.a, v2.p.a, 0.0f);
  return SetUpTriangle(ctx, loops, area, tri, gouraud, counters, t);
}
#else
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

  if (!Place(ctx, loops, v0.xi, v0.yi, v1.xi, v1.yi, v2.xi, v2.yi, t)) return false;

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

  SetEdges(v0.xi, v0.yi, v1.xi, v1.yi, v2.xi, v2.yi, t);
  return true;
}
#endif

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

int DepthFloorOver(const TriangleSetup& t, int x0, int y0, int x1, int y1) {
  const DrawContext& c = *t.context;
  const float Interp::*field = c.useW ? &Interp::iw : &Interp::z;
  const double a = t.p0.*field, dx = t.ddx.*field, dy = t.ddy.*field;
  // A linear function's extremes over a rectangle lie at its corners.
  const double ex0 = dx * (x0 - static_cast<double>(t.x0)), ex1 = dx * (x1 - static_cast<double>(t.x0));
  const double ey0 = dy * (y0 - static_cast<double>(t.y0)), ey1 = dy * (y1 - static_cast<double>(t.y0));
  // The fill evaluates a + ox dx + oy dy at a row's left end in floats, then
  // adds k dx per lane: a handful of roundings, each within 2^-24 of the
  // largest term. Sixteen times that leaves room to spare.
  const double ox = std::max(std::fabs(t.xMin - static_cast<double>(t.x0)), std::fabs(t.xMax - static_cast<double>(t.x0)));
  const double k = (t.xMax - t.xMin) + 16.0;
  const double err = (std::fabs(a) + std::fabs(dx) * (ox + k) + std::max(std::fabs(ey0), std::fabs(ey1))) * (1.0 / 1048576.0);
  const double lo = a + std::min(ex0, ex1) + std::min(ey0, ey1) - err;
  const double hi = a + std::max(ex0, ex1) + std::max(ey0, ey1) + err;
  if (!(lo > -1e30 && hi < 1e30)) return 0;  // NaN or out of range: nothing known
  // Stored depth is monotonic in the interpolant (in 1/iw for w), so the
  // least of it over [lo, hi] is at one end.
  auto depthOf = [&](double v) {
    double d = v;
    if (c.useW) {
      if (!(v > 0.0)) return 0.0;  // w beyond every bound: no floor
      d = (1.0 / v - c.wNear) * c.wScale;
    }
    if (!(d > 0.0)) return 0.0;  // clamped to 0, or NaN: no floor either way
    return d < 1.0 ? d * c.depthMax : static_cast<double>(c.depthMax);
  };
  const double least = std::min(depthOf(lo), depthOf(hi));
  // Three below, for the rounding to a whole depth and for the float
  // arithmetic the fill does on the way from the interpolant to it.
  if (!(least >= 3.0 && least <= 65535.0)) return 0;
  return static_cast<int>(least) - 3;
}

namespace {

void ClearBand(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  ClearValues v;
  std::memcpy(&v, t.edges, sizeof v);
  const PixelRect r = PartInside(t, cx0, cy0, cx1, cy1);
  if (r.x0 > r.x1) return;
  const int x0 = r.x0, x1 = r.x1 + 1;  // x1 past the end
  const DrawContext& c = *t.context;
  for (int y = r.y0; y <= r.y1; ++y) {
    if (v.colour) {
      auto* row = reinterpret_cast<std::uint16_t*>(c.colour + static_cast<std::ptrdiff_t>(y) * c.colourPitch);
      std::fill(row + x0, row + x1, v.rgb565);
    }
    if (v.depthBytes == 0) continue;  // the target may have no depth buffer at all
    std::uint8_t* row = c.depth + static_cast<std::ptrdiff_t>(y) * c.depthPitch;
    if (v.depthBytes == 2)
      std::fill(reinterpret_cast<std::uint16_t*>(row) + x0, reinterpret_cast<std::uint16_t*>(row) + x1,
                static_cast<std::uint16_t>(v.depth));
    else
      std::fill(reinterpret_cast<std::uint32_t*>(row) + x0, reinterpret_cast<std::uint32_t*>(row) + x1, v.depth);
  }
}

}  // namespace

void SetUpClear(const DrawContext* ctx, const ClearValues& v, int x0, int y0, int x1, int y1, TriangleSetup& out) {
  static_assert(sizeof v <= sizeof out.edges && std::is_trivially_copyable_v<ClearValues>);
  std::memcpy(out.edges, &v, sizeof v);
  out.context = ctx;
  out.fill = ClearBand;
  out.span = nullptr;
  out.xMin = x0;
  out.yStart = y0;
  out.xMax = x1;
  out.yEnd = y1;
}

}  // namespace tarn::raster::detail
