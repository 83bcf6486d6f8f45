// The rasterizer: vertex stage, clipping, triangle and line set-up, and the
// span loops specialised for the state that is fixed for a whole draw.
#include "platform/raster/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarn::raster {
namespace {

constexpr float kGuardBand = 8.0f;  // clip-space |x|, |y| <= 8 w before scissoring
constexpr int kSubPixel = 16;       // 1/16 pixel snap
constexpr int kFogTable = 1024;

void Multiply(const float* a, const float* b, float* out) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      out[i * 4 + j] = a[i * 4 + 0] * b[0 * 4 + j] + a[i * 4 + 1] * b[1 * 4 + j] + a[i * 4 + 2] * b[2 * 4 + j] +
                       a[i * 4 + 3] * b[3 * 4 + j];
}

bool Finite(float v) { return std::isfinite(v); }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// a x b / 255, rounded to nearest, for a, b in 0..255.
inline int Mul255(int a, int b) {
  int t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}

// x / 255 rounded to nearest, for x in 0..65025.
inline int DivRound255(int x) {
  int t = x + 128;
  return (t + (t >> 8)) >> 8;
}

inline int ClampByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<int>(v + 0.5f);
}

// Bayer 4x4 thresholds 0..15.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

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

// Everything a span loop reads: fixed for one draw.
struct DrawContext {
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
  // fog
  float fogScale = 0.0f;  // table index per unit of distance
  std::uint16_t fogTable[kFogTable];
  int fogR = 0, fogG = 0, fogB = 0;
  // tests and blending
  bool alphaPass[256];
  int alphaRef = 0;
  Blend srcBlend = Blend::SrcAlpha, destBlend = Blend::InvSrcAlpha;
  bool srcAlphaBlend = true;  // SRCALPHA / INVSRCALPHA
  // target
  std::uint8_t* colour = nullptr;
  int colourPitch = 0;
  std::uint8_t* depth = nullptr;
  int depthPitch = 0;
  int targetWidth = 0, targetHeight = 0;
};

// The interpolants of one pixel; affine in screen space.
struct Interp {
  float iw, uw, vw, z, r, g, b, a;
};

inline int BlendFactor(Blend f, int src, int srcA, int dst) {
  switch (f) {
    case Blend::Zero: return 0;
    case Blend::One: return 255;
    case Blend::SrcColor: return src;
    case Blend::InvSrcColor: return 255 - src;
    case Blend::SrcAlpha: return srcA;
    case Blend::InvSrcAlpha: return 255 - srcA;
    case Blend::DestAlpha: return 255;
    case Blend::InvDestAlpha: return 0;
    case Blend::DestColor: return dst;
    case Blend::InvDestColor: return 255 - dst;
  }
  return 255;
}

inline std::uint32_t SampleTexel(const DrawContext& c, int x, int y) {
  if (c.texPow2) {
    x &= c.texW - 1;
    y &= c.texH - 1;
  } else {
    x %= c.texW;
    if (x < 0) x += c.texW;
    y %= c.texH;
    if (y < 0) y += c.texH;
  }
  return c.texels[static_cast<std::size_t>(y) * static_cast<std::size_t>(c.texStride) + static_cast<std::size_t>(x)];
}

// u, v already reduced to a small range by the triangle set-up.
template <bool kBilinear>
inline std::uint32_t Sample(const DrawContext& c, float u, float v) {
  if constexpr (kBilinear) {
    // Texel centres at (i + 0.5) / size, in 1/256 texel.
    int iu = static_cast<int>(std::floor(u * static_cast<float>(c.texW * 256) - 128.0f));
    int iv = static_cast<int>(std::floor(v * static_cast<float>(c.texH * 256) - 128.0f));
    int x0 = iu >> 8, y0 = iv >> 8;
    int wx = iu & 255, wy = iv & 255;
    std::uint32_t t00 = SampleTexel(c, x0, y0), t10 = SampleTexel(c, x0 + 1, y0);
    std::uint32_t t01 = SampleTexel(c, x0, y0 + 1), t11 = SampleTexel(c, x0 + 1, y0 + 1);
    // Two channels at a time in 8.8 lanes: red and blue, then alpha and green.
    auto lerp2 = [](std::uint32_t a, std::uint32_t b, int w) -> std::uint32_t {
      std::uint32_t rb = ((a & 0x00FF00FFu) * static_cast<std::uint32_t>(256 - w) +
                          (b & 0x00FF00FFu) * static_cast<std::uint32_t>(w)) >> 8;
      std::uint32_t ag = (((a >> 8) & 0x00FF00FFu) * static_cast<std::uint32_t>(256 - w) +
                          ((b >> 8) & 0x00FF00FFu) * static_cast<std::uint32_t>(w)) >> 8;
      return (rb & 0x00FF00FFu) | ((ag & 0x00FF00FFu) << 8);
    };
    std::uint32_t top = lerp2(t00, t10, wx);
    std::uint32_t bottom = lerp2(t01, t11, wx);
    return lerp2(top, bottom, wy);
  } else {
    int x = static_cast<int>(std::floor(u * static_cast<float>(c.texW)));
    int y = static_cast<int>(std::floor(v * static_cast<float>(c.texH)));
    return SampleTexel(c, x, y);
  }
}

inline int Combine(TextureOp op, bool tex1, int tex, int diffuse) {
  switch (op) {
    case TextureOp::Modulate: return Mul255(tex, diffuse);
    case TextureOp::SelectArg1: return tex1 ? tex : diffuse;
    case TextureOp::SelectArg2: return tex1 ? diffuse : tex;
    case TextureOp::Disable: return diffuse;
  }
  return diffuse;
}

// One span of one row: x from x0 to x1 inclusive, interpolants at x0 and
// their steps per pixel. Every state that is fixed for the draw is a
// template argument, so the loop carries no branch on it.
template <bool kTex, bool kBilinear, bool kFog, bool kBlend, bool kAlphaTest, bool kDither, int kDepthBytes>
void Span(const DrawContext& c, int y, int x0, int x1, Interp p, const Interp& d) {
  auto* row = reinterpret_cast<std::uint16_t*>(c.colour + static_cast<std::ptrdiff_t>(y) * c.colourPitch);
  std::uint8_t* depthRow = kDepthBytes ? c.depth + static_cast<std::ptrdiff_t>(y) * c.depthPitch : nullptr;
  const int* bayer = kBayer[y & 3];
  for (int x = x0; x <= x1; ++x, p.iw += d.iw, p.uw += d.uw, p.vw += d.vw, p.z += d.z, p.r += d.r,
           p.g += d.g, p.b += d.b, p.a += d.a) {
    float w = 1.0f / p.iw;
    std::uint32_t depthValue = 0;
    if constexpr (kDepthBytes != 0) {
      float dz = c.useW ? (w - c.wNear) * c.wScale : p.z;
      dz = std::min(std::max(dz, 0.0f), 1.0f);
      depthValue = static_cast<std::uint32_t>(dz * c.depthMax + 0.5f);
      std::uint32_t stored;
      if constexpr (kDepthBytes == 2)
        stored = reinterpret_cast<std::uint16_t*>(depthRow)[x];
      else
        stored = reinterpret_cast<std::uint32_t*>(depthRow)[x];
      if (!Passes(c.zFunc, depthValue, stored)) continue;
    }
    int dr = ClampByte(p.r), dg = ClampByte(p.g), db = ClampByte(p.b), da = ClampByte(p.a);
    int r = dr, g = dg, b = db, a = da;
    if constexpr (kTex) {
      std::uint32_t t = Sample<kBilinear>(c, p.uw * w, p.vw * w);
      int ta = static_cast<int>(t >> 24), tr = static_cast<int>((t >> 16) & 255);
      int tg = static_cast<int>((t >> 8) & 255), tb = static_cast<int>(t & 255);
      r = Combine(c.colourOp, c.colourTex1, tr, dr);
      g = Combine(c.colourOp, c.colourTex1, tg, dg);
      b = Combine(c.colourOp, c.colourTex1, tb, db);
      a = Combine(c.alphaOp, c.alphaTex1, ta, da);
    }
    if constexpr (kAlphaTest) {
      if (!c.alphaPass[a]) continue;
    }
    if constexpr (kDepthBytes == 2) {
      if (c.zWrite) reinterpret_cast<std::uint16_t*>(depthRow)[x] = static_cast<std::uint16_t>(depthValue);
    } else if constexpr (kDepthBytes == 4) {
      if (c.zWrite) reinterpret_cast<std::uint32_t*>(depthRow)[x] = depthValue;
    }
    if constexpr (kFog) {
      float dist = c.fogFromW ? w : p.z;
      float fi = dist * c.fogScale;
      int idx = fi > 0.0f ? (fi < static_cast<float>(kFogTable - 1) ? static_cast<int>(fi) : kFogTable - 1) : 0;
      int f = c.fogTable[idx];
      r = (r * f + c.fogR * (256 - f) + 128) >> 8;
      g = (g * f + c.fogG * (256 - f) + 128) >> 8;
      b = (b * f + c.fogB * (256 - f) + 128) >> 8;
    }
    if constexpr (kBlend) {
      std::uint16_t dst = row[x];
      int rd = ((dst >> 11) & 31) << 3, gd = ((dst >> 5) & 63) << 2, bd = (dst & 31) << 3;
      rd |= rd >> 5;
      gd |= gd >> 6;
      bd |= bd >> 5;
      if (c.srcAlphaBlend) {
        if (a != 255) {
          r = DivRound255(r * a + rd * (255 - a));
          g = DivRound255(g * a + gd * (255 - a));
          b = DivRound255(b * a + bd * (255 - a));
        }
      } else {
        r = std::min(255, Mul255(r, BlendFactor(c.srcBlend, r, a, rd)) + Mul255(rd, BlendFactor(c.destBlend, r, a, rd)));
        g = std::min(255, Mul255(g, BlendFactor(c.srcBlend, g, a, gd)) + Mul255(gd, BlendFactor(c.destBlend, g, a, gd)));
        b = std::min(255, Mul255(b, BlendFactor(c.srcBlend, b, a, bd)) + Mul255(bd, BlendFactor(c.destBlend, b, a, bd)));
      }
    }
    int r5, g6, b5;
    if constexpr (kDither) {
      int t = bayer[x & 3];
      r5 = std::min(31, (r + (t >> 1)) >> 3);
      g6 = std::min(63, (g + (t >> 2)) >> 2);
      b5 = std::min(31, (b + (t >> 1)) >> 3);
    } else {
      r5 = r >> 3;
      g6 = g >> 2;
      b5 = b >> 3;
    }
    row[x] = static_cast<std::uint16_t>(r5 << 11 | g6 << 5 | b5);
  }
}

using SpanFn = void (*)(const DrawContext&, int, int, int, Interp, const Interp&);

#if defined(__SSE2__)
namespace sse2 {
#include "platform/raster/SpanSimd.inl"
}  // namespace sse2
#if defined(__GNUC__) && !defined(__clang__) && !defined(__AVX2__)
// (g++ only: clang has no target pragma; its build keeps the SSE2 loop.)
// The same loop in VEX encoding: three-operand forms save the register
// copies that dominate the SSE2 code. Chosen at run time; the arithmetic,
// and so every pixel, is the same.
#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
#include "platform/raster/SpanSimd.inl"
}  // namespace avx2
#pragma GCC pop_options
#define TARN_RASTER_AVX2 1
#endif
SpanFn PickSimd(bool fog, bool blend, bool alphaTest, bool dither) {
#if defined(TARN_RASTER_AVX2)
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  if (hasAvx2) return avx2::PickSimd(fog, blend, alphaTest, dither);
#endif
  return sse2::PickSimd(fog, blend, alphaTest, dither);
}
#endif

template <bool kTex, bool kBilinear, bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
SpanFn PickDepth(int depthBytes) {
  if (depthBytes == 2) return &Span<kTex, kBilinear, kFog, kBlend, kAlphaTest, kDither, 2>;
  if (depthBytes == 4) return &Span<kTex, kBilinear, kFog, kBlend, kAlphaTest, kDither, 4>;
  return &Span<kTex, kBilinear, kFog, kBlend, kAlphaTest, kDither, 0>;
}
template <bool kTex, bool kBilinear, bool kFog, bool kBlend, bool kAlphaTest>
SpanFn PickDither(bool dither, int depthBytes) {
  return dither ? PickDepth<kTex, kBilinear, kFog, kBlend, kAlphaTest, true>(depthBytes)
                : PickDepth<kTex, kBilinear, kFog, kBlend, kAlphaTest, false>(depthBytes);
}
template <bool kTex, bool kBilinear, bool kFog, bool kBlend>
SpanFn PickAlphaTest(bool alphaTest, bool dither, int depthBytes) {
  return alphaTest ? PickDither<kTex, kBilinear, kFog, kBlend, true>(dither, depthBytes)
                   : PickDither<kTex, kBilinear, kFog, kBlend, false>(dither, depthBytes);
}
template <bool kTex, bool kBilinear, bool kFog>
SpanFn PickBlend(bool blend, bool alphaTest, bool dither, int depthBytes) {
  return blend ? PickAlphaTest<kTex, kBilinear, kFog, true>(alphaTest, dither, depthBytes)
               : PickAlphaTest<kTex, kBilinear, kFog, false>(alphaTest, dither, depthBytes);
}
template <bool kTex, bool kBilinear>
SpanFn PickFog(bool fog, bool blend, bool alphaTest, bool dither, int depthBytes) {
  return fog ? PickBlend<kTex, kBilinear, true>(blend, alphaTest, dither, depthBytes)
             : PickBlend<kTex, kBilinear, false>(blend, alphaTest, dither, depthBytes);
}
SpanFn PickSpan(bool tex, bool bilinear, bool fog, bool blend, bool alphaTest, bool dither, int depthBytes) {
  if (!tex) return PickFog<false, false>(fog, blend, alphaTest, dither, depthBytes);
  return bilinear ? PickFog<true, true>(fog, blend, alphaTest, dither, depthBytes)
                  : PickFog<true, false>(fog, blend, alphaTest, dither, depthBytes);
}

// A vertex on the screen: snapped position and the interpolants.
struct ScreenVertex {
  std::int64_t xi, yi;  // 1/16 pixel
  float x, y;           // snapped, in pixels
  Interp p;
};

struct Scissor {
  int x0, y0, x1, y1;  // inclusive
};

// Round to nearest (even on ties), as llrint in the default rounding mode.
inline std::int64_t RoundToInt64(double v) {
#if defined(__SSE2__)
  return _mm_cvtsd_si64(_mm_set_sd(v));
#else
  return std::llrint(v);
#endif
}

// floor(a / b) for b > 0 through a double estimate, made exact by checking
// it against the integers (an integer division costs several times more).
// Both stay far inside 2^53 (screen positions are pinned to +-1e6 pixels).
inline std::int64_t FloorDivFast(std::int64_t a, std::int64_t b) {
  auto q = static_cast<std::int64_t>(std::floor(static_cast<double>(a) / static_cast<double>(b)));
  while (q * b > a) --q;
  while ((q + 1) * b <= a) ++q;
  return q;
}

ScreenVertex Project(const ClipVertex& v, const State& s) {
  ScreenVertex o;
  float iw = 1.0f / v.w;
  float sx = static_cast<float>(s.viewportX) + (1.0f + v.x * iw) * static_cast<float>(s.viewportWidth) * 0.5f;
  float sy = static_cast<float>(s.viewportY) + (1.0f - v.y * iw) * static_cast<float>(s.viewportHeight) * 0.5f;
  // Clipping keeps sane vertices inside the guard band; whatever hostile
  // arithmetic produced beyond it is pinned, so the fixed-point edge
  // functions can never overflow (a NaN goes to the low end).
  constexpr float kLimit = 1.0e6f;
  if (!(sx > -kLimit)) sx = -kLimit;
  if (!(sx < kLimit)) sx = kLimit;
  if (!(sy > -kLimit)) sy = -kLimit;
  if (!(sy < kLimit)) sy = kLimit;
  o.xi = RoundToInt64(static_cast<double>(sx) * kSubPixel);
  o.yi = RoundToInt64(static_cast<double>(sy) * kSubPixel);
  o.x = static_cast<float>(o.xi) / kSubPixel;
  o.y = static_cast<float>(o.yi) / kSubPixel;
  float z = v.z * iw;
  o.p = Interp{iw, v.u * iw, v.v * iw, s.minZ + z * (s.maxZ - s.minZ), v.r, v.g, v.b, v.a};
  return o;
}

// Signed distances of a clip vertex to the six planes; >= 0 is inside.
inline void PlaneDistances(const ClipVertex& v, float* d) {
  d[0] = v.z;                         // near
  d[1] = v.w - v.z;                   // far
  d[2] = kGuardBand * v.w + v.x;      // left
  d[3] = kGuardBand * v.w - v.x;      // right
  d[4] = kGuardBand * v.w + v.y;      // bottom
  d[5] = kGuardBand * v.w - v.y;      // top
}

inline unsigned OutCode(const ClipVertex& v) {
  float d[6];
  PlaneDistances(v, d);
  unsigned code = 0;
  for (int i = 0; i < 6; ++i)
    if (d[i] < 0.0f) code |= 1u << i;
  if (!(v.w > 0.0f)) code |= 1u << 6;
  return code;
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

inline float PlaneDistance(const ClipVertex& v, int plane) {
  if (plane == 6) return v.w - 1e-6f;
  float d[6];
  PlaneDistances(v, d);
  return d[plane];
}

// Sutherland-Hodgman against the planes in `code`; returns the count.
int ClipPolygon(ClipVertex* poly, int n, unsigned code, ClipVertex* scratch) {
  ClipVertex* in = poly;
  ClipVertex* out = scratch;
  for (int plane = 0; plane < 7 && n > 0; ++plane) {
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

struct FrameSetup {
  DrawContext ctx;
  SpanFn span = nullptr;
  Scissor scissor{};
  bool textured = false;
};

void DrawTriangle(const FrameSetup& f, ScreenVertex v0, ScreenVertex v1, ScreenVertex v2, Cull cull,
                  bool gouraud, Counters& counters) {
  std::int64_t area = (v1.xi - v0.xi) * (v2.yi - v0.yi) - (v2.xi - v0.xi) * (v1.yi - v0.yi);
  if (area == 0) return;
  if ((cull == Cull::Ccw && area < 0) || (cull == Cull::Cw && area > 0)) {
    ++counters.trianglesCulled;
    return;
  }
  if (!gouraud) {  // flat: the first vertex's colour everywhere
    v1.p.r = v2.p.r = v0.p.r;
    v1.p.g = v2.p.g = v0.p.g;
    v1.p.b = v2.p.b = v0.p.b;
    v1.p.a = v2.p.a = v0.p.a;
  }
  if (area < 0) {
    std::swap(v1, v2);
    area = -area;
  }
  ++counters.trianglesDrawn;

  // Interpolant gradients from the snapped positions.
  float x10 = v1.x - v0.x, y10 = v1.y - v0.y, x20 = v2.x - v0.x, y20 = v2.y - v0.y;
  float inv = 1.0f / (x10 * y20 - x20 * y10);
  auto grad = [&](float a0, float a1, float a2, float& dx, float& dy) {
    float a10 = a1 - a0, a20 = a2 - a0;
    dx = (a10 * y20 - a20 * y10) * inv;
    dy = (a20 * x10 - a10 * x20) * inv;
  };
  Interp ddx, ddy;
  grad(v0.p.iw, v1.p.iw, v2.p.iw, ddx.iw, ddy.iw);
  grad(v0.p.uw, v1.p.uw, v2.p.uw, ddx.uw, ddy.uw);
  grad(v0.p.vw, v1.p.vw, v2.p.vw, ddx.vw, ddy.vw);
  grad(v0.p.z, v1.p.z, v2.p.z, ddx.z, ddy.z);
  grad(v0.p.r, v1.p.r, v2.p.r, ddx.r, ddy.r);
  grad(v0.p.g, v1.p.g, v2.p.g, ddx.g, ddy.g);
  grad(v0.p.b, v1.p.b, v2.p.b, ddx.b, ddy.b);
  grad(v0.p.a, v1.p.a, v2.p.a, ddx.a, ddy.a);

  // Edges a->b: E = (py - ya) dx - (px - xa) dy, positive inside.
  struct Edge {
    std::int64_t xa, ya, dx, dy, bias;
  };
  const ScreenVertex* vs[3] = {&v0, &v1, &v2};
  Edge edges[3];
  for (int i = 0; i < 3; ++i) {
    const ScreenVertex& a = *vs[i];
    const ScreenVertex& b = *vs[(i + 1) % 3];
    Edge& e = edges[i];
    e.xa = a.xi;
    e.ya = a.yi;
    e.dx = b.xi - a.xi;
    e.dy = b.yi - a.yi;
    bool topLeft = (e.dy == 0 && e.dx > 0) || e.dy < 0;
    e.bias = topLeft ? 0 : -1;
  }
  std::int64_t minY = std::min({v0.yi, v1.yi, v2.yi}), maxY = std::max({v0.yi, v1.yi, v2.yi});
  int yStart = static_cast<int>(std::max<std::int64_t>(CeilDiv(minY, kSubPixel), f.scissor.y0));
  int yEnd = static_cast<int>(std::min<std::int64_t>(FloorDiv(maxY, kSubPixel), f.scissor.y1));
  for (int y = yStart; y <= yEnd; ++y) {
    std::int64_t py = static_cast<std::int64_t>(y) * kSubPixel;
    std::int64_t lo = f.scissor.x0, hi = f.scissor.x1;
    for (const Edge& e : edges) {
      std::int64_t c = (py - e.ya) * e.dx + e.xa * e.dy + e.bias;  // E(x) = c - 16 dy x
      if (e.dy == 0) {
        if (c < 0) {
          lo = 1;
          hi = 0;
        }
      } else if (e.dy > 0) {
        hi = std::min(hi, FloorDivFast(c, kSubPixel * e.dy));
      } else {
        lo = std::max(lo, -FloorDivFast(c, -kSubPixel * e.dy));  // ceil(-c / -16dy)
      }
    }
    if (lo > hi) continue;
    float ox = static_cast<float>(lo) - v0.x, oy = static_cast<float>(y) - v0.y;
    Interp p{v0.p.iw + ox * ddx.iw + oy * ddy.iw, v0.p.uw + ox * ddx.uw + oy * ddy.uw,
             v0.p.vw + ox * ddx.vw + oy * ddy.vw, v0.p.z + ox * ddx.z + oy * ddy.z,
             v0.p.r + ox * ddx.r + oy * ddy.r,    v0.p.g + ox * ddx.g + oy * ddy.g,
             v0.p.b + ox * ddx.b + oy * ddy.b,    v0.p.a + ox * ddx.a + oy * ddy.a};
    f.span(f.ctx, y, static_cast<int>(lo), static_cast<int>(hi), p, ddx);
  }
}

void DrawLine(const FrameSetup& f, const ScreenVertex& a, const ScreenVertex& b, bool lastPixel,
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
    if (x < f.scissor.x0 || x > f.scissor.x1 || y < f.scissor.y0 || y > f.scissor.y1) continue;
    Interp p{a.p.iw + (b.p.iw - a.p.iw) * t, a.p.uw + (b.p.uw - a.p.uw) * t, a.p.vw + (b.p.vw - a.p.vw) * t,
             a.p.z + (b.p.z - a.p.z) * t,    a.p.r + (b.p.r - a.p.r) * t,    a.p.g + (b.p.g - a.p.g) * t,
             a.p.b + (b.p.b - a.p.b) * t,    a.p.a + (b.p.a - a.p.a) * t};
    f.span(f.ctx, y, x, x, p, zero);
  }
}

Colour FromArgb(std::uint32_t c) {
  return Colour{static_cast<float>((c >> 16) & 255) / 255.0f, static_cast<float>((c >> 8) & 255) / 255.0f,
                static_cast<float>(c & 255) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

void BuildFog(const State& s, DrawContext& c) {
  float range;  // distance at which the table ends (fog complete or constant beyond)
  switch (s.fog) {
    case Fog::Exp: range = s.fogDensity > 0.0f ? 12.0f / s.fogDensity : 0.0f; break;
    case Fog::Exp2: range = s.fogDensity > 0.0f ? 4.0f / s.fogDensity : 0.0f; break;
    case Fog::Linear: range = std::max(s.fogEnd, 0.0f); break;
    default: range = 0.0f; break;
  }
  if (!(range > 0.0f) || !std::isfinite(range)) {  // no fog at any distance
    for (auto& v : c.fogTable) v = s.fog == Fog::Linear ? 0 : 256;
    c.fogScale = 0.0f;
  } else {
    c.fogScale = static_cast<float>(kFogTable - 1) / range;
    for (int i = 0; i < kFogTable; ++i) {
      float d = (static_cast<float>(i) + 0.5f) / c.fogScale;
      float f;
      if (s.fog == Fog::Exp) {
        f = std::exp(-d * s.fogDensity);
      } else if (s.fog == Fog::Exp2) {
        float t = d * s.fogDensity;
        f = std::exp(-t * t);
      } else {
        f = s.fogEnd != s.fogStart ? (s.fogEnd - d) / (s.fogEnd - s.fogStart) : (d < s.fogEnd ? 1.0f : 0.0f);
      }
      f = std::min(std::max(f, 0.0f), 1.0f);
      c.fogTable[i] = static_cast<std::uint16_t>(std::lrint(f * 256.0f));
    }
  }
  c.fogR = static_cast<int>((s.fogColour >> 16) & 255);
  c.fogG = static_cast<int>((s.fogColour >> 8) & 255);
  c.fogB = static_cast<int>(s.fogColour & 255);
}

bool IsPow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

}  // namespace

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

void Rasterizer::Draw(const State& s, Primitive primitive, const Vertices& in, const Target& t) {
  if (!t.colour || t.width <= 0 || t.height <= 0 || !in.data || in.stride < 12) return;
  std::size_t count = primitive == Primitive::TriangleList ? in.count - in.count % 3 : in.count - in.count % 2;
  if (count == 0) return;

  FrameSetup f;
  DrawContext& c = f.ctx;
  // Scissor: the viewport inside the target.
  f.scissor.x0 = std::max(s.viewportX, 0);
  f.scissor.y0 = std::max(s.viewportY, 0);
  f.scissor.x1 = std::min(s.viewportX + s.viewportWidth, t.width) - 1;
  f.scissor.y1 = std::min(s.viewportY + s.viewportHeight, t.height) - 1;
  if (f.scissor.x0 > f.scissor.x1 || f.scissor.y0 > f.scissor.y1) return;

  // Depth.
  int depthBytes = (s.zEnable && t.depth && (t.depthBytes == 2 || t.depthBytes == 4)) ? t.depthBytes : 0;
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
  bool textured = s.texture && s.texture->texels && s.texture->width > 0 && s.texture->height > 0;
  auto usesTexture = [](TextureOp op, Arg a1, Arg a2) {
    switch (op) {
      case TextureOp::Modulate: return a1 == Arg::Texture || a2 == Arg::Texture;
      case TextureOp::SelectArg1: return a1 == Arg::Texture;
      case TextureOp::SelectArg2: return a2 == Arg::Texture;
      default: return false;
    }
  };
  textured = textured && (usesTexture(s.colourOp, s.colourArg1, s.colourArg2) ||
                          usesTexture(s.alphaOp, s.alphaArg1, s.alphaArg2));
  if (textured) {
    c.texW = s.texture->width;
    c.texH = s.texture->height;
    if (s.texture->stride == c.texW + 1) {
      c.texels = s.texture->texels;
    } else {  // make the wrap column the span loops rely on
      std::size_t from = s.texture->stride > c.texW ? static_cast<std::size_t>(s.texture->stride)
                                                    : static_cast<std::size_t>(c.texW);
      std::size_t w = static_cast<std::size_t>(c.texW);
      padded_.resize((w + 1) * static_cast<std::size_t>(c.texH));
      for (std::size_t y = 0; y < static_cast<std::size_t>(c.texH); ++y) {
        std::memcpy(&padded_[y * (w + 1)], s.texture->texels + y * from, w * 4);
        padded_[y * (w + 1) + w] = s.texture->texels[y * from];
      }
      c.texels = padded_.data();
    }
    c.texStride = c.texW + 1;
    c.texPow2 = IsPow2(c.texW) && IsPow2(c.texH);
    while ((1 << c.texShift) < c.texW) ++c.texShift;
    auto mode = [&](TextureOp op, Arg a1, Arg a2, TextureOp& outOp, bool& tex1) {
      bool t1 = a1 == Arg::Texture, t2 = a2 == Arg::Texture;
      if (op == TextureOp::Modulate && !(t1 || t2)) op = TextureOp::Disable;
      if (op == TextureOp::Modulate && t1 && t2) op = TextureOp::SelectArg1;  // texture x texture: rare; keep it simple
      if (op == TextureOp::SelectArg1 && !t1) op = TextureOp::Disable;
      if (op == TextureOp::SelectArg2 && !t2) op = TextureOp::Disable;
      outOp = op;
      tex1 = op == TextureOp::SelectArg2 ? false : true;
    };
    mode(s.colourOp, s.colourArg1, s.colourArg2, c.colourOp, c.colourTex1);
    mode(s.alphaOp, s.alphaArg1, s.alphaArg2, c.alphaOp, c.alphaTex1);
  }

  bool fog = s.fog != Fog::None;
  if (fog) BuildFog(s, c);
  for (int a = 0; a < 256; ++a) c.alphaPass[a] = Passes(s.alphaFunc, static_cast<std::uint32_t>(a), s.alphaRef);
  bool blend = s.blend && !(s.srcBlend == Blend::One && s.destBlend == Blend::Zero);
  c.srcBlend = s.srcBlend;
  c.destBlend = s.destBlend;
  c.srcAlphaBlend = s.srcBlend == Blend::SrcAlpha && s.destBlend == Blend::InvSrcAlpha;
  c.colour = reinterpret_cast<std::uint8_t*>(t.colour);
  c.colourPitch = t.colourPitch;
  c.depth = static_cast<std::uint8_t*>(t.depth);
  c.depthPitch = t.depthPitch;
  c.targetWidth = t.width;
  c.targetHeight = t.height;

  // Vertex stage: transform and light every vertex once.
  float worldView[16], mvp[16];
  Multiply(s.world, s.view, worldView);
  Multiply(worldView, s.projection, mvp);
  // Normals go through the inverse transpose of world x view (3x3 part):
  // n' = n x cofactor(M) / det(M).
  const float* m = worldView;
  float cof[9] = {m[5] * m[10] - m[6] * m[9],  m[6] * m[8] - m[4] * m[10], m[4] * m[9] - m[5] * m[8],
                  m[2] * m[9] - m[1] * m[10],  m[0] * m[10] - m[2] * m[8], m[1] * m[8] - m[0] * m[9],
                  m[1] * m[6] - m[2] * m[5],   m[2] * m[4] - m[0] * m[6],  m[0] * m[5] - m[1] * m[4]};
  float det = m[0] * cof[0] + m[1] * cof[1] + m[2] * cof[2];
  float invDet = det != 0.0f && std::isfinite(det) ? 1.0f / det : 0.0f;
  // Lights in camera space: the vector toward each light.
  struct CamLight {
    float l[3];
    Colour diffuse;
  };
  CamLight lights[State::kLights];
  int lightCount = 0;
  Colour ambientSum = FromArgb(s.ambient);
  if (s.lighting) {
    for (const Light& L : s.lights) {
      if (!L.enabled) continue;
      ambientSum.r += L.ambient.r;
      ambientSum.g += L.ambient.g;
      ambientSum.b += L.ambient.b;
      const float* v = s.view;
      float d[3] = {L.direction[0] * v[0] + L.direction[1] * v[4] + L.direction[2] * v[8],
                    L.direction[0] * v[1] + L.direction[1] * v[5] + L.direction[2] * v[9],
                    L.direction[0] * v[2] + L.direction[1] * v[6] + L.direction[2] * v[10]};
      float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      if (!(len > 0.0f) || !std::isfinite(len)) continue;
      CamLight& cl = lights[lightCount++];
      cl.l[0] = -d[0] / len;
      cl.l[1] = -d[1] / len;
      cl.l[2] = -d[2] / len;
      cl.diffuse = L.diffuse;
    }
  }

  // Lighting waits until a triangle is known to be drawn: back faces and
  // what lies off screen cost no lighting.
  auto light = [&](std::size_t i) {
    const std::uint8_t* src = in.data + i * in.stride;
    ClipVertex& o = lit_[i];
    Colour vertexDiffuse{1, 1, 1, 1};
    bool hasDiffuse = in.diffuse >= 0;
    if (hasDiffuse) {
      std::uint32_t argb;
      std::memcpy(&argb, src + in.diffuse, 4);
      vertexDiffuse = FromArgb(argb);
    }
    Colour out;
    if (s.lighting) {
      auto source = [&](int which, const Colour& materialColour) {
        return (s.colorVertex && hasDiffuse && which == 1) ? vertexDiffuse : materialColour;
      };
      Colour md = source(s.diffuseSource, s.material.diffuse);
      Colour ma = source(s.ambientSource, s.material.ambient);
      Colour me = source(s.emissiveSource, s.material.emissive);
      out.r = me.r + ma.r * ambientSum.r;
      out.g = me.g + ma.g * ambientSum.g;
      out.b = me.b + ma.b * ambientSum.b;
      if (in.normal >= 0 && lightCount > 0) {
        float nrm[3];
        std::memcpy(nrm, src + in.normal, sizeof nrm);
        float n[3] = {(nrm[0] * cof[0] + nrm[1] * cof[3] + nrm[2] * cof[6]) * invDet,
                      (nrm[0] * cof[1] + nrm[1] * cof[4] + nrm[2] * cof[7]) * invDet,
                      (nrm[0] * cof[2] + nrm[1] * cof[5] + nrm[2] * cof[8]) * invDet};
        if (s.normalizeNormals) {
          float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
          if (len > 0.0f) {
            n[0] /= len;
            n[1] /= len;
            n[2] /= len;
          }
        }
        for (int l = 0; l < lightCount; ++l) {
          float dot = n[0] * lights[l].l[0] + n[1] * lights[l].l[1] + n[2] * lights[l].l[2];
          if (dot > 0.0f) {
            out.r += md.r * lights[l].diffuse.r * dot;
            out.g += md.g * lights[l].diffuse.g * dot;
            out.b += md.b * lights[l].diffuse.b * dot;
          }
        }
      }
      out.a = md.a;
    } else {
      out = vertexDiffuse;
    }
    o.r = std::min(std::max(out.r, 0.0f), 1.0f) * 255.0f;
    o.g = std::min(std::max(out.g, 0.0f), 1.0f) * 255.0f;
    o.b = std::min(std::max(out.b, 0.0f), 1.0f) * 255.0f;
    o.a = std::min(std::max(out.a, 0.0f), 1.0f) * 255.0f;
    if (!(o.r == o.r)) o.r = 0;  // NaN colours from hostile normals
    if (!(o.g == o.g)) o.g = 0;
    if (!(o.b == o.b)) o.b = 0;
    if (!(o.a == o.a)) o.a = 0;
  };
  lit_.resize(count);
  std::vector<bool> bad;  // vertices that are not finite
  bool anyBad = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* src = in.data + i * in.stride;
    float pos[3];
    std::memcpy(pos, src, sizeof pos);
    ClipVertex& o = lit_[i];
    o.x = pos[0] * mvp[0] + pos[1] * mvp[4] + pos[2] * mvp[8] + mvp[12];
    o.y = pos[0] * mvp[1] + pos[1] * mvp[5] + pos[2] * mvp[9] + mvp[13];
    o.z = pos[0] * mvp[2] + pos[1] * mvp[6] + pos[2] * mvp[10] + mvp[14];
    o.w = pos[0] * mvp[3] + pos[1] * mvp[7] + pos[2] * mvp[11] + mvp[15];
    {
      float alpha = 1.0f;
      bool hasDiffuse = in.diffuse >= 0;
      if (hasDiffuse && (!s.lighting || (s.colorVertex && s.diffuseSource == 1))) {
        std::uint32_t argb;
        std::memcpy(&argb, src + in.diffuse, 4);
        alpha = static_cast<float>(argb >> 24) / 255.0f;
      } else if (s.lighting) {
        alpha = s.material.diffuse.a;
      }
      o.a = std::min(std::max(alpha, 0.0f), 1.0f) * 255.0f;
      if (!(o.a == o.a)) o.a = 0;
    }
    if (in.texCoord >= 0) {
      float uv[2];
      std::memcpy(uv, src + in.texCoord, sizeof uv);
      o.u = Finite(uv[0]) ? uv[0] : 0.0f;
      o.v = Finite(uv[1]) ? uv[1] : 0.0f;
    } else {
      o.u = o.v = 0.0f;
    }
    if (!(Finite(o.x) && Finite(o.y) && Finite(o.z) && Finite(o.w))) {
      if (!anyBad) bad.assign(count, false);
      anyBad = true;
      bad[i] = true;
    }
  }

  // Texture coordinates only matter modulo 1 for wrapping: move each
  // primitive's near the origin so that float precision holds per pixel.
  auto reduceUv = [&](ClipVertex* v, int n) {
    if (!textured) return;
    float minU = v[0].u, minV = v[0].v;
    for (int i = 1; i < n; ++i) {
      minU = std::min(minU, v[i].u);
      minV = std::min(minV, v[i].v);
    }
    float fu = std::floor(minU), fv = std::floor(minV);
    for (int i = 0; i < n; ++i) {
      v[i].u = std::min(v[i].u - fu, 1024.0f);  // keeps u x width x 256 inside 32 bits
      v[i].v = std::min(v[i].v - fv, 1024.0f);
    }
  };

  // Pixels that are all opaque need neither the alpha test (a reference up
  // to 255 passes 255 for >=) nor SRCALPHA / INVSRCALPHA blending.
  bool opaque = false;
  if (!textured || (s.texture->opaque && c.alphaOp == TextureOp::Modulate)) {
    opaque = true;
    for (std::size_t i = 0; i < count && opaque; ++i) opaque = lit_[i].a >= 255.0f;
  }
  bool alphaTest = s.alphaTest && s.alphaFunc != Compare::Always &&
                   !(opaque && (s.alphaFunc == Compare::GreaterEqual || s.alphaFunc == Compare::LessEqual));
  if (opaque && c.srcAlphaBlend) blend = false;
  c.alphaRef = s.alphaRef;
  f.span = PickSpan(textured, s.bilinear, fog, blend, alphaTest, s.dither, depthBytes);
#if defined(__SSE2__)
  // The engine's state has a four-pixel loop of its own.
  bool simd = textured && s.bilinear && c.texPow2 && c.colourOp == TextureOp::Modulate &&
              c.alphaOp == TextureOp::Modulate && depthBytes == 2 && c.zFunc == Compare::LessEqual && c.zWrite &&
              (!alphaTest || (s.alphaFunc == Compare::GreaterEqual && s.alphaRef > 0)) && (!blend || c.srcAlphaBlend);
  if (simd) f.span = PickSimd(fog, blend, alphaTest, s.dither);
#endif

  if (primitive == Primitive::TriangleList) {
    ClipVertex poly[16], scratch[16];
    for (std::size_t i = 0; i < count; i += 3) {
      ++counters_.trianglesIn;
      if (anyBad && (bad[i] || bad[i + 1] || bad[i + 2])) continue;
      poly[0] = lit_[i];
      poly[1] = lit_[i + 1];
      poly[2] = lit_[i + 2];
      reduceUv(poly, 3);
      unsigned c0 = OutCode(poly[0]), c1 = OutCode(poly[1]), c2 = OutCode(poly[2]);
      if (c0 & c1 & c2) continue;  // wholly outside one plane
      unsigned any = c0 | c1 | c2;
      ScreenVertex sv[16];
      if (!any) {
        for (int k = 0; k < 3; ++k) sv[k] = Project(poly[k], s);
        std::int64_t area = (sv[1].xi - sv[0].xi) * (sv[2].yi - sv[0].yi) - (sv[2].xi - sv[0].xi) * (sv[1].yi - sv[0].yi);
        if (area == 0) continue;
        if ((s.cull == Cull::Ccw && area < 0) || (s.cull == Cull::Cw && area > 0)) {
          ++counters_.trianglesCulled;
          continue;
        }
        for (int k = 0; k < 3; ++k) {
          light(i + static_cast<std::size_t>(k));
          const ClipVertex& l = lit_[i + static_cast<std::size_t>(k)];
          sv[k].p.r = l.r;
          sv[k].p.g = l.g;
          sv[k].p.b = l.b;
          sv[k].p.a = l.a;
        }
        DrawTriangle(f, sv[0], sv[1], sv[2], s.cull, s.gouraud, counters_);
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        light(i + static_cast<std::size_t>(k));
        const ClipVertex& l = lit_[i + static_cast<std::size_t>(k)];
        poly[k].r = l.r;
        poly[k].g = l.g;
        poly[k].b = l.b;
        poly[k].a = l.a;
      }
      int n = ClipPolygon(poly, 3, any, scratch);
      if (n < 3) continue;
      bool finite = true;
      for (int k = 0; k < n && finite; ++k)
        finite = Finite(poly[k].x) && Finite(poly[k].y) && Finite(poly[k].z) && Finite(poly[k].w) && poly[k].w > 0.0f;
      if (!finite) continue;  // clipping overflowed on absurd coordinates
      for (int k = 0; k < n; ++k) sv[k] = Project(poly[k], s);
      for (int k = 1; k + 1 < n; ++k) DrawTriangle(f, sv[0], sv[k], sv[k + 1], s.cull, s.gouraud, counters_);
    }
  } else {
    for (std::size_t i = 0; i < count; i += 2) {
      if (anyBad && (bad[i] || bad[i + 1])) continue;
      light(i);
      light(i + 1);
      ClipVertex a = lit_[i], b = lit_[i + 1];
      ClipVertex pair[2] = {a, b};
      reduceUv(pair, 2);
      a = pair[0];
      b = pair[1];
      unsigned ca = OutCode(a), cb = OutCode(b);
      if (ca & cb) continue;
      unsigned any = ca | cb;
      float t0 = 0.0f, t1 = 1.0f;
      bool visible = true;
      for (int plane = 0; plane < 7 && visible; ++plane) {
        if (!(any & (1u << plane))) continue;
        float da = PlaneDistance(a, plane), db = PlaneDistance(b, plane);
        if (da < 0.0f && db < 0.0f) visible = false;
        else if (da < 0.0f) t0 = std::max(t0, da / (da - db));
        else if (db < 0.0f) t1 = std::min(t1, da / (da - db));
      }
      if (!visible || t0 > t1) continue;
      ClipVertex ca2 = t0 > 0.0f ? Lerp(a, b, t0) : a;
      ClipVertex cb2 = t1 < 1.0f ? Lerp(a, b, t1) : b;
      if (!(Finite(ca2.w) && Finite(cb2.w) && ca2.w > 0.0f && cb2.w > 0.0f)) continue;
      DrawLine(f, Project(ca2, s), Project(cb2, s), s.lastPixel, counters_);
    }
  }
}

}  // namespace tarn::raster
