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

// ReduceUv3 on lanes 0..2 of u and v.
void ReduceUv3(__m128& u, __m128& v);

// SetUpTriangle, the same to the bit.
bool SetUpTriangle(const DrawContext* ctx, const Loops& loops, std::int64_t area, const TriangleLanes& tri, bool gouraud,
                   Counters& counters, TriangleSetup& t);
#endif

// One pixel per step of the major axis, the last one when lastPixel.
void DrawLine(const DrawContext& c, SpanFn span, const ScreenVertex& a, const ScreenVertex& b, bool lastPixel,
              Counters& counters);

}  // namespace tarn::raster::detail
