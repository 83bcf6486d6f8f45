// The rasterizer's inner records (local to platform/raster): what a span
// loop reads, the set-up of one triangle, and the span loops' entry points.
//
// A pixel's interpolants are computed from its own position: the value at x
// on row y is the row's value at the span's left end plus (x - left) steps,
// never a running sum. A triangle may therefore be drawn in pieces (one per
// band of rows, or any rectangle, on any thread) and every pixel still comes
// out the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/raster/Raster.h"

namespace tarn::raster::detail {

// The depth and alpha tests' comparison.
inline bool Passes(Compare f, std::uint32_t value, std::uint32_t ref) {
  switch (f) {
    case Compare::Never: return false;
    case Compare::Less: return value < ref;
    case Compare::Equal: return value == ref;
    case Compare::LessEqual: return value <= ref;
    case Compare::Greater: return value > ref;
    case Compare::NotEqual: return value != ref;
    case Compare::GreaterEqual: return value >= ref;
    case Compare::Always: return true;
  }
  return true;
}


// Clip space. Vertices are clipped against a guard band of |x|, |y| <=
// kGuardBand w rather than the viewport's edges (the scissor trims the
// rest), screen positions snap to 1/kSubPixel pixel, and they are pinned to
// +-kScreenLimit pixels so that the fixed-point edge functions never
// overflow.
constexpr float kGuardBand = 8.0f;
constexpr int kSubPixel = 16;
constexpr float kScreenLimit = 1.0e6f;

// The planes a vertex can lie outside of, in the order the clipper visits
// them; kBehindPlane is w <= 0 (the clipper cuts at a w just above 0).
enum ClipPlane : int { kNearPlane, kFarPlane, kLeftPlane, kRightPlane, kBottomPlane, kTopPlane, kBehindPlane, kClipPlanes };

// A vertex's outcode: bit 1 << plane for each plane it lies outside of, and
// kNotFinite for a position that is not finite (such a vertex is dropped,
// never clipped).
enum Outcode : std::uint8_t {
  kOutsideNear = 1u << kNearPlane,
  kOutsideFar = 1u << kFarPlane,
  kOutsideLeft = 1u << kLeftPlane,
  kOutsideRight = 1u << kRightPlane,
  kOutsideBottom = 1u << kBottomPlane,
  kOutsideTop = 1u << kTopPlane,
  kOutsideBehind = 1u << kBehindPlane,
  kNotFinite = 128,
};

// The signed distance of a clip-space position to each plane but
// kBehindPlane, >= 0 inside: the one spelling of the clip volume, for
// scalars (outcodes, the clipper) and for vector types whose arithmetic
// operators work per lane (the vertex stage's eight positions at a time).
// Vectors go by reference: a vector passed by value to a function compiled
// without its instruction set changes the calling convention.
template <class T>
[[gnu::always_inline]] inline void PlaneDistance(int plane, const T& x, const T& y, const T& z, const T& w, T& d) {
  switch (plane) {
    case kNearPlane: d = z; break;
    case kFarPlane: d = w - z; break;
    case kLeftPlane: d = kGuardBand * w + x; break;
    case kRightPlane: d = kGuardBand * w - x; break;
    case kBottomPlane: d = kGuardBand * w + y; break;
    default: d = kGuardBand * w - y; break;  // kTopPlane
  }
}
inline float PlaneDistance(int plane, float x, float y, float z, float w) {
  float d;
  PlaneDistance<float>(plane, x, y, z, w, d);
  return d;
}
// The clipper cuts w = 0 at this w, where the projection still holds; the
// outcode calls a vertex behind when !(w > 0).
constexpr float kMinClipW = 1e-6f;

// The outcode of a clip-space position (without kNotFinite).
inline unsigned OutcodeOf(float x, float y, float z, float w) {
  unsigned code = 0;
  for (int plane = kNearPlane; plane <= kTopPlane; ++plane)
    if (PlaneDistance(plane, x, y, z, w) < 0.0f) code |= 1u << plane;
  if (!(w > 0.0f)) code |= kOutsideBehind;
  return code;
}

// floor(a / b) for b > 0, and rem = a - floor(a / b) b in 0..b-1, through a
// double estimate made exact against the integers (a 64-bit division costs
// several times more). Both stay far inside 2^53 (screen positions are
// pinned to +-1e6 pixels), where the estimate is off by one at most: the
// remainder corrects it with additions.
inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b, std::int64_t& rem) {
  auto q = static_cast<std::int64_t>(static_cast<double>(a) / static_cast<double>(b));  // toward zero
  std::int64_t r = a - q * b;
  while (r < 0) {
    --q;
    r += b;
  }
  while (r >= b) {
    ++q;
    r -= b;
  }
  rem = r;
  return q;
}

// The bits of a target's depth buffer in use: 1 up to the texel's size,
// whatever the target claims.
inline int DepthBitsOf(const Target& t) {
  int most = t.depthBytes == 4 ? 32 : 16;
  return t.depthBits < 1 ? 1 : t.depthBits > most ? most : t.depthBits;
}

constexpr int kFogTable = 1024;
// The threads share the target in bands of rows across its whole width
// (cut into columns when there are too few bands to go round them, Bins.h):
// low, so that there are enough of them to share among the threads, but
// tall enough that few small triangles are cut in two (each piece walks its
// edges and makes its constants from the start). Narrower pieces (tiles of
// 256 columns) cut wide triangles into more pieces, each row started once
// per piece: no faster in any bench world, up to 5% slower at 1920x1080.
// Bands twice as tall leave too few to share out evenly (fill at 1920x1080
// and objects at 800x600 were slower). A band holds whole groups of pixels,
// so no group ever straddles two (a group writes back the pixels it masks).
constexpr int kBandShift = 5;
constexpr int kBandHeight = 1 << kBandShift;

// Bayer 4x4 thresholds 0..15.
inline constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// A colour channel 0..255 from an interpolant, rounded; NaN is 0.
inline int ClampByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<int>(v + 0.5f);
}

// Run-time flags to template arguments: PickInstance<Make>(a, b, ...) is
// Make::Get<a, b, ...>(), one branch per flag.
template <class Make, bool... kFlags>
auto PickInstance() {
  return Make::template Get<kFlags...>();
}
template <class Make, bool... kFlags, class... Rest>
auto PickInstance(bool flag, Rest... rest) {
  return flag ? PickInstance<Make, kFlags..., true>(rest...) : PickInstance<Make, kFlags..., false>(rest...);
}

// What a state compiles to that does not depend on the draw: the fog and
// alpha-test tables. Shared by the draws that use it, and never changed once
// built (queued work reads it from other threads).
struct Shading {
  float fogScale = 0.0f;  // table index per unit of distance
  std::int32_t fogTable[kFogTable];  // 0..256, the weight of the pixel's own colour
  int fogR = 0, fogG = 0, fogB = 0;
  bool alphaPass[256];
};

// Everything a span loop reads: fixed for one draw.
struct DrawContext {
  const Shading* shading = nullptr;
  // depth
  bool useW = false;
  float wNear = 0.0f, wScale = 1.0f;  // stored = (w - wNear) * wScale
  float depthMax = 65535.0f;
  Compare zFunc = Compare::LessEqual;
  bool zWrite = true;
  bool fogFromW = true;
  // texture
  const std::uint32_t* texels = nullptr;
  int texW = 1, texH = 1;
  int texStride = 1;  // texels per row: texW + 1, the last a copy of column 0
  bool texPow2 = true;
  int texShift = 0;  // log2 of texW when it is a power of two
  TextureOp colourOp = TextureOp::Modulate, alphaOp = TextureOp::Modulate;
  bool colourTex1 = true, alphaTex1 = true;  // argument 1 is the texture (else argument 2 is)
  // tests and blending
  Compare alphaFunc = Compare::Always;
  int alphaRef = 0;
  Blend srcBlend = Blend::SrcAlpha, destBlend = Blend::InvSrcAlpha;
  bool srcAlphaBlend = true;  // SRCALPHA / INVSRCALPHA
  bool dither = false;
  // target
  std::uint8_t* colour = nullptr;
  int colourPitch = 0;
  std::uint8_t* depth = nullptr;
  int depthPitch = 0;
  int targetWidth = 0, targetHeight = 0;
  int scissorX0 = 0, scissorY0 = 0, scissorX1 = -1, scissorY1 = -1;  // inclusive

  void Aim(const Target& t) {  // the target's buffers, pitches and size
    colour = reinterpret_cast<std::uint8_t*>(t.colour);
    colourPitch = t.colourPitch;
    depth = static_cast<std::uint8_t*>(t.depth);
    depthPitch = t.depthPitch;
    targetWidth = t.width;
    targetHeight = t.height;
  }
};

// The interpolants of one pixel; affine in screen space.
struct Interp {
  float iw, uw, vw, z, r, g, b, a;
};
static_assert(sizeof(Interp) == 8 * sizeof(float) && std::is_standard_layout_v<Interp>,
              "the row walk reads an Interp as eight floats");

// Draws pixels x0..x1 (inclusive) of row y. p holds the interpolants at
// column `left` (the span's own left end), d their steps per pixel.
using SpanFn = void (*)(const DrawContext& c, int y, int left, int x0, int x1, const Interp& p, const Interp& d);

// AVX2 (AVX-512 F, BW, DQ and VL) is present and not turned off for a test.
bool UseAvx2();
bool UseAvx512();

// The general loop for a draw's fixed state, one template instance per
// combination (lines, and triangles whose state has no SIMD loop).
SpanFn PickSpan(const DrawContext& c, bool textured, bool bilinear, bool fog, bool blend, bool alphaTest,
                bool dither, int depthBytes);

struct TriangleSetup;
// Fills the part of a triangle that lies in columns cx0..cx1 and rows
// cy0..cy1 (a band of rows, or the whole scissor).
using FillFn = void (*)(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1);

// The triangle filler for a draw's fixed state: the engine's state has SIMD
// loops that walk the rows themselves; any other state goes row by row
// through the triangle's span loop. `wide`: for triangles at least
// kWideFill pixels wide, which the widest loop fills faster; on narrower
// ones its groups are mostly masked lanes, and a 512-bit operation costs
// what two 256-bit ones do on processors that split it. Every loop draws
// the same pixels, so a draw may mix them.
constexpr int kWideFill = 64;
FillFn PickFill(const DrawContext& c, bool textured, bool bilinear, bool fog, bool blend, bool alphaTest,
                int depthBytes, bool wide);

// The engine's state's triangle fill (FillEngine.inl) for the rest of the
// state, four pixels at a time with SSE2, eight with AVX2 and sixteen with
// AVX-512, where the build has them; the wider only where UseAvx2() and
// UseAvx512().
#if defined(__SSE2__)
#define TARN_RASTER_SSE2 1
FillFn PickFillSse2(bool fog, bool blend, bool alphaTest, bool dither);
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARN_RASTER_AVX2 1
FillFn PickFillAvx2(bool fog, bool blend, bool alphaTest, bool dither);
#define TARN_RASTER_AVX512 1
FillFn PickFillAvx512(bool fog, bool blend, bool alphaTest, bool dither);
// The eight-lane loop compiled for AVX-512 processors (32 registers): their
// narrow triangles.
FillFn PickFillAvx2Vl(bool fog, bool blend, bool alphaTest, bool dither);

// Code between these is compiled for the instruction sets named (a string
// such as "avx2"); what headers included there define inline stays plain.
#define TARN_RASTER_PRAGMA(x) _Pragma(#x)
#if defined(__clang__)
#define TARN_RASTER_TARGET_BEGIN(sets) \
  TARN_RASTER_PRAGMA(clang attribute push(__attribute__((target(sets))), apply_to = function))
#define TARN_RASTER_TARGET_END TARN_RASTER_PRAGMA(clang attribute pop)
#else
#define TARN_RASTER_TARGET_BEGIN(sets) TARN_RASTER_PRAGMA(GCC push_options) TARN_RASTER_PRAGMA(GCC target(sets))
#define TARN_RASTER_TARGET_END TARN_RASTER_PRAGMA(GCC pop_options)
#endif
#define TARN_RASTER_AVX512_SETS "avx2,avx512f,avx512bw,avx512dq,avx512vl"
#endif
#endif

// One edge a->b in 1/16 pixel: E(px, py) = (py - ya) dx - (px - xa) dy + bias
// is >= 0 inside. Screen positions are pinned to +-1e6 pixels, so 32 bits
// hold every member.
struct Edge {
  std::int32_t xa, ya, dx, dy, bias;
};

// A triangle ready to fill: edges, the interpolants at its first vertex and
// their gradients, and its rows and columns inside the scissor.
struct alignas(16) TriangleSetup {  // whole 16-byte stores (Bins.cpp)
  const DrawContext* context;
  SpanFn span;
  FillFn fill;
  Edge edges[3];
  float x0, y0;  // first vertex, snapped
  Interp p0, ddx, ddy;
  int yStart, yEnd, xMin, xMax;  // inclusive, inside the scissor
};

inline void FillTriangle(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) { t.fill(t, cx0, cy0, cx1, cy1); }

// The part of a set-up's columns and rows inside columns cx0..cx1, rows
// cy0..cy1 (inclusive; empty when x0 > x1 or y0 > y1).
struct PixelRect {
  int x0, y0, x1, y1;
};
inline PixelRect PartInside(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  return {t.xMin > cx0 ? t.xMin : cx0, t.yStart > cy0 ? t.yStart : cy0, t.xMax < cx1 ? t.xMax : cx1,
          t.yEnd < cy1 ? t.yEnd : cy1};
}

// A clear is queued as a set-up among the triangles, so that each band is
// cleared in its place in the order of submission by whichever thread fills
// it: the rectangle in yStart..yEnd, xMin..xMax, the target in its context
// (colourPitch, depthPitch), what it writes in place of the edges.
struct ClearValues {
  std::uint32_t depth = 0;  // already scaled to the depth bits
  std::uint16_t rgb565 = 0;
  bool colour = false;
  std::uint8_t depthBytes = 0;  // 2 or 4; 0: the depth buffer is left alone
};
void SetUpClear(const DrawContext* ctx, const ClearValues& v, int x0, int y0, int x1, int y1, TriangleSetup& out);

// A depth at or below every depth the engine's fill gives a pixel of the
// triangle in columns cx0..cx1, rows cy0..cy1; 0 when nothing better is
// known. Under LESSEQUAL a group of pixels whose stored depths all lie below
// it is hidden, and the fill passes it over without working out its own
// (a division per pixel before the test can even begin). Most of what a
// walk-through draws is hidden this way: the far side of a room behind the
// wall in front, a crowd behind its first row.
int DepthFloorOver(const TriangleSetup& t, int x0, int y0, int x1, int y1);  // its part inside the rectangle
inline int DepthFloor(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  const auto [x0, y0, x1, y1] = PartInside(t, cx0, cy0, cx1, cy1);
  // A few groups of pixels cost less to test than the floor costs to work
  // out (most of a dense model's triangles).
  constexpr int kArea = 256;
  if (x0 > x1 || y0 > y1 || std::int64_t{x1 - x0 + 1} * (y1 - y0 + 1) < kArea) return 0;
  return DepthFloorOver(t, x0, y0, x1, y1);
}

// The rows of a triangle inside rows cy0..cy1, from the first to the last:
// each row's span (left end inside the scissor) stepped with integers, so
// every row's bounds are exact whichever row the walk began at.
class RowWalker {
 public:
  RowWalker(const TriangleSetup& t, int cy0, int cy1) : t_(t) {
    first_ = t.yStart > cy0 ? t.yStart : cy0;
    last_ = t.yEnd < cy1 ? t.yEnd : cy1;
    for (int i = 0; i < 3 && first_ <= last_; ++i) {
      const Edge& e = t.edges[i];
      Walk& w = walks_[i];
      // E(x) = cc - 16 dy x on row y.
      std::int64_t cc = (std::int64_t{first_} * kSubPixel - e.ya) * e.dx + std::int64_t{e.xa} * e.dy + e.bias;
      std::int64_t step = std::int64_t{kSubPixel} * e.dx;
      if (e.dy == 0) {
        w.kind = kRowTest;
        w.q = cc;
        w.sq = step;
        continue;
      }
      // Right bound floor(cc / 16dy) for dy > 0; left bound
      // ceil(-cc / -16dy) = -floor(cc / -16dy) for dy < 0.
      w.kind = e.dy > 0 ? kRight : kLeft;
      w.b = std::int64_t{kSubPixel} * (e.dy > 0 ? std::int64_t{e.dy} : -std::int64_t{e.dy});
      w.q = FloorDiv(cc, w.b, w.r);
      w.sq = FloorDiv(step, w.b, w.sr);
    }
  }
  int First() const { return first_; }
  int Last() const { return last_; }
  // Row y's span: `left` its left end, x0..x1 its columns inside cx0..cx1,
  // p the interpolants at `left`. False when the row has no such column.
  // Rows are asked for in order, each once.
  bool Row(int y, int cx0, int cx1, int& left, int& x0, int& x1, Interp& p) {
    std::int64_t lo = t_.context->scissorX0, hi = t_.context->scissorX1;
    for (Walk& w : walks_) {
      if (w.kind == kRowTest) {
        if (w.q < 0) hi = lo - 1;
        w.q += w.sq;
        continue;
      }
      if (w.kind == kRight) {
        if (w.q < hi) hi = w.q;
      } else if (-w.q > lo) {
        lo = -w.q;
      }
      w.q += w.sq;
      w.r += w.sr;
      if (w.r >= w.b) {
        w.r -= w.b;
        ++w.q;
      }
    }
    if (lo > hi) return false;
    x0 = static_cast<int>(lo > cx0 ? lo : cx0);
    x1 = static_cast<int>(hi < cx1 ? hi : cx1);
    if (x0 > x1) return false;
    left = static_cast<int>(lo);
    float ox = static_cast<float>(lo) - t_.x0, oy = static_cast<float>(y) - t_.y0;
    const Interp& a = t_.p0;
    const Interp& dx = t_.ddx;
    const Interp& dy = t_.ddy;
#if defined(__SSE2__)
    // The same a + ox dx + oy dy per interpolant, four at a time: the
    // pixels do not change, a small triangle's rows cost less.
    const __m128 vox = _mm_set1_ps(ox), voy = _mm_set1_ps(oy);
    const auto* fa = reinterpret_cast<const float*>(&a);
    const auto* fdx = reinterpret_cast<const float*>(&dx);
    const auto* fdy = reinterpret_cast<const float*>(&dy);
    auto* fp = reinterpret_cast<float*>(&p);
    for (int h = 0; h < 8; h += 4)
      _mm_storeu_ps(fp + h, _mm_add_ps(_mm_add_ps(_mm_loadu_ps(fa + h), _mm_mul_ps(vox, _mm_loadu_ps(fdx + h))),
                                       _mm_mul_ps(voy, _mm_loadu_ps(fdy + h))));
#else
    p = Interp{a.iw + ox * dx.iw + oy * dy.iw, a.uw + ox * dx.uw + oy * dy.uw, a.vw + ox * dx.vw + oy * dy.vw,
               a.z + ox * dx.z + oy * dy.z,    a.r + ox * dx.r + oy * dy.r,    a.g + ox * dx.g + oy * dy.g,
               a.b + ox * dx.b + oy * dy.b,    a.a + ox * dx.a + oy * dy.a};
#endif
    return true;
  }

 private:
  enum Kind { kRowTest, kRight, kLeft };
  struct Walk {  // set by the constructor for every edge of a triangle that has rows here
    Kind kind;
    std::int64_t q, r, b, sq, sr;  // kRowTest: q is E at column 0, sq its step
  };
  const TriangleSetup& t_;
  int first_, last_;
  Walk walks_[3];
};

}  // namespace tarn::raster::detail
