// Clipping: triangles as polygons, lines as parameter ranges.
#include "platform/raster/Clip.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/raster/RasterLocal.h"

namespace tarn::raster::detail {
namespace {

// A clip vertex's distance to any plane the clipper cuts, kBehindPlane's
// included.
inline float DistanceTo(const ClipVertex& v, int plane) {
  return plane == kBehindPlane ? v.w - kMinClipW : PlaneDistance(plane, v.x, v.y, v.z, v.w);
}

}  // namespace

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t) {
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

int ClipPolygon(ClipVertex* poly, int n, unsigned code, ClipVertex* scratch) {
  ClipVertex* in = poly;
  ClipVertex* out = scratch;
  for (int plane = 0; plane < kClipPlanes && n > 0; ++plane) {
    if (!(code & (1u << plane))) continue;
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const ClipVertex& a = in[i];
      const ClipVertex& b = in[(i + 1) % n];
      float da = DistanceTo(a, plane), db = DistanceTo(b, plane);
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

bool ClipLine(ClipVertex& a, ClipVertex& b, unsigned codeA, unsigned codeB) {
  if (codeA & codeB) return false;
  unsigned any = codeA | codeB;
  float t0 = 0.0f, t1 = 1.0f;
  for (int plane = 0; plane < kClipPlanes; ++plane) {
    if (!(any & (1u << plane))) continue;
    float da = DistanceTo(a, plane), db = DistanceTo(b, plane);
    if (da < 0.0f && db < 0.0f) return false;
    if (da < 0.0f) t0 = std::max(t0, da / (da - db));
    else if (db < 0.0f) t1 = std::min(t1, da / (da - db));
  }
  if (t0 > t1) return false;
  ClipVertex from = t0 > 0.0f ? Lerp(a, b, t0) : a;
  ClipVertex to = t1 < 1.0f ? Lerp(a, b, t1) : b;
  if (!(std::isfinite(from.w) && std::isfinite(to.w) && from.w > 0.0f && to.w > 0.0f)) return false;
  a = from;
  b = to;
  return true;
}

}  // namespace tarn::raster::detail
