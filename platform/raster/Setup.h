// Triangle and line set-up (local to platform/raster): from clip or
// projected vertices to what the fill loops read (TriangleSetup), and lines
// drawn pixel by pixel through a span loop.
#pragma once

#include <cstdint>

#include "platform/raster/RasterLocal.h"
#include "platform/raster/VertexStage.h"

namespace tarn::raster::detail {

// A vertex on the screen: snapped position and the interpolants.
struct ScreenVertex {
  std::int64_t xi, yi;  // 1/16 pixel
  float x, y;           // snapped, in pixels
  Interp p;
};

ScreenVertex Project(const ClipVertex& v, const ViewportMap& m);

// Texture coordinates only matter modulo 1 for wrapping: move each
// primitive's near the origin so that float precision holds per pixel.
void ReduceUv(float* u, float* v, int n);
void ReduceUv(ClipVertex* vertices, int n);  // a line or a triangle
// ReduceUv(u, v, 3), the same to the bit, in fewer steps.
void ReduceUv3(float* u, float* v);

// Twice a triangle's signed area, in 1/256 square pixel, when it is to be
// drawn; 0 when it is degenerate or culled (counted).
inline std::int64_t FacingArea(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::int64_t x2,
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
  FillFn fill;        // triangles kWideFill pixels wide or more
  FillFn fillNarrow;  // the others
};

// The set-up of a triangle that FacingArea passed (`area` is its result);
// false when it covers no pixel centre's row or column inside the scissor.
bool SetUpTriangle(const DrawContext* ctx, const Loops& loops, std::int64_t area, ScreenVertex v0, ScreenVertex v1,
                   ScreenVertex v2, bool gouraud, Counters& counters, TriangleSetup& t);

#if defined(__SSE2__)
// A triangle as the vertex stage leaves it, vertex k in lane k of each
// vector (lane 3 is not used): set up from registers, with no vertex
// written out and read back in another width on the way, which costs the
// processor a stall each time.
struct TriangleLanes {
  __m128 iw, uw, vw, z, r, g, b, a;  // the interpolants (Interp)
  float x[3], y[3];                // snapped, in pixels
  std::int64_t xi[3], yi[3];       // 1/16 pixel
};

// ReduceUv3 on lanes 0..2 of u and v (inline: it sits in every triangle's
// set-up).
inline void ReduceUv3(__m128& u, __m128& v) {
  // u and v side by side in lanes 0 and 1, each step the scalar one's: the
  // same minimum (the first of equal values, NaN kept), Floor, difference
  // and cap, to the bit.
  const __m128 a = _mm_unpacklo_ps(u, v), c = _mm_unpackhi_ps(u, v);  // (u0 v0 u1 v1), (u2 v2 . .)
  const __m128 b = _mm_movehl_ps(a, a);
  const __m128 least = _mm_min_ps(c, _mm_min_ps(b, a));  // (x < m) ? x : m, as std::min(m, x)
  const __m128 inRange =
      _mm_and_ps(_mm_cmpgt_ps(least, _mm_set1_ps(-8388608.0f)), _mm_cmplt_ps(least, _mm_set1_ps(8388608.0f)));
  const __m128 t = _mm_cvtepi32_ps(_mm_cvttps_epi32(least));
  const __m128 lower = _mm_sub_ps(t, _mm_and_ps(_mm_cmpgt_ps(t, least), _mm_set1_ps(1.0f)));
  const __m128 whole = _mm_cmpeq_ps(t, least);
  __m128 floor = _mm_or_ps(_mm_and_ps(whole, least), _mm_andnot_ps(whole, lower));
  floor = _mm_or_ps(_mm_and_ps(inRange, floor), _mm_andnot_ps(inRange, least));
  const __m128 cap = _mm_set1_ps(1024.0f);
  u = _mm_min_ps(cap, _mm_sub_ps(u, _mm_shuffle_ps(floor, floor, _MM_SHUFFLE(0, 0, 0, 0))));
  v = _mm_min_ps(cap, _mm_sub_ps(v, _mm_shuffle_ps(floor, floor, _MM_SHUFFLE(1, 1, 1, 1))));
}

// SetUpTriangle, the same to the bit.
bool SetUpTriangle(const DrawContext* ctx, const Loops& loops, std::int64_t area, const TriangleLanes& tri, bool gouraud,
                   Counters& counters, TriangleSetup& t);
#endif

// One pixel per step of the major axis, the last one when lastPixel.
void DrawLine(const DrawContext& c, SpanFn span, const ScreenVertex& a, const ScreenVertex& b, bool lastPixel,
              Counters& counters);

}  // namespace tarn::raster::detail
