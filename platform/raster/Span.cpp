// The pixel loops: a general span loop with every state that is fixed for a
// draw as a template argument (lines, and triangles of any state), and the
// choice of a triangle's filler: the engine's own state has SIMD fills
// (FillEngine.inl; sixteen pixels a time with AVX-512, eight with AVX2, four
// with SSE2, chosen at run time).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/raster/RasterLocal.h"

namespace tarn::raster::detail {
namespace {

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

// The general loop: every state that is fixed for the draw is a template
// argument, so the loop carries no branch on it.
template <bool kTex, bool kBilinear, bool kFog, bool kBlend, bool kAlphaTest, bool kDither, int kDepthBytes>
void Span(const DrawContext& c, int y, int left, int x0, int x1, const Interp& p, const Interp& d) {
  auto* row = reinterpret_cast<std::uint16_t*>(c.colour + static_cast<std::ptrdiff_t>(y) * c.colourPitch);
  std::uint8_t* depthRow = kDepthBytes ? c.depth + static_cast<std::ptrdiff_t>(y) * c.depthPitch : nullptr;
  const int* bayer = kBayer[y & 3];
  const Shading& sh = *c.shading;
  for (int x = x0; x <= x1; ++x) {
    const float k = static_cast<float>(x - left);
    const float iw = p.iw + d.iw * k;
    float w = 1.0f / iw;
    std::uint32_t depthValue = 0;
    if constexpr (kDepthBytes != 0) {
      float dz = c.useW ? (w - c.wNear) * c.wScale : p.z + d.z * k;
      dz = std::min(std::max(dz, 0.0f), 1.0f);
      depthValue = static_cast<std::uint32_t>(dz * c.depthMax + 0.5f);
      std::uint32_t stored;
      if constexpr (kDepthBytes == 2)
        stored = reinterpret_cast<std::uint16_t*>(depthRow)[x];
      else
        stored = reinterpret_cast<std::uint32_t*>(depthRow)[x];
      if (!Passes(c.zFunc, depthValue, stored)) continue;
    }
    int dr = ClampByte(p.r + d.r * k), dg = ClampByte(p.g + d.g * k), db = ClampByte(p.b + d.b * k),
        da = ClampByte(p.a + d.a * k);
    int r = dr, g = dg, b = db, a = da;
    if constexpr (kTex) {
      std::uint32_t t = Sample<kBilinear>(c, (p.uw + d.uw * k) * w, (p.vw + d.vw * k) * w);
      int ta = static_cast<int>(t >> 24), tr = static_cast<int>((t >> 16) & 255);
      int tg = static_cast<int>((t >> 8) & 255), tb = static_cast<int>(t & 255);
      r = Combine(c.colourOp, c.colourTex1, tr, dr);
      g = Combine(c.colourOp, c.colourTex1, tg, dg);
      b = Combine(c.colourOp, c.colourTex1, tb, db);
      a = Combine(c.alphaOp, c.alphaTex1, ta, da);
    }
    if constexpr (kAlphaTest) {
      if (!sh.alphaPass[a]) continue;
    }
    if constexpr (kDepthBytes == 2) {
      if (c.zWrite) reinterpret_cast<std::uint16_t*>(depthRow)[x] = static_cast<std::uint16_t>(depthValue);
    } else if constexpr (kDepthBytes == 4) {
      if (c.zWrite) reinterpret_cast<std::uint32_t*>(depthRow)[x] = depthValue;
    }
    if constexpr (kFog) {
      float dist = c.fogFromW ? w : p.z + d.z * k;
      float fi = dist * sh.fogScale;
      int idx = fi > 0.0f ? (fi < static_cast<float>(kFogTable - 1) ? static_cast<int>(fi) : kFogTable - 1) : 0;
      int f = sh.fogTable[idx];
      r = (r * f + sh.fogR * (256 - f) + 128) >> 8;
      g = (g * f + sh.fogG * (256 - f) + 128) >> 8;
      b = (b * f + sh.fogB * (256 - f) + 128) >> 8;
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

// The general loop's instance for a state (the filter only matters with a
// texture).
template <int kDepthBytes>
struct SpanInstance {
  template <bool kTex, bool kBilinear, bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
  static SpanFn Get() {
    return &Span<kTex, kTex && kBilinear, kFog, kBlend, kAlphaTest, kDither, kDepthBytes>;
  }
};

// TARN_RASTER_SIMD=sse2 or avx2 caps the width for a whole run (to compare
// the loops' speed); anything else leaves every width the processor has.
Simd SimdFromEnvironment() {
  const char* env = std::getenv("TARN_RASTER_SIMD");
  if (env && std::strcmp(env, "sse2") == 0) return Simd::Sse2;
  if (env && std::strcmp(env, "avx2") == 0) return Simd::Avx2;
  return Simd::Avx512;
}

Simd simdLimit = SimdFromEnvironment();

}  // namespace

bool UseAvx2() {
#if defined(TARN_RASTER_AVX2)
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  return hasAvx2 && simdLimit >= Simd::Avx2;
#else
  return false;
#endif
}

bool UseAvx512() {
#if defined(TARN_RASTER_AVX512)
  static const bool hasAvx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  return hasAvx512 && simdLimit >= Simd::Avx512;
#else
  return false;
#endif
}

SpanFn PickSpan(const DrawContext&, bool textured, bool bilinear, bool fog, bool blend, bool alphaTest,
                bool dither, int depthBytes) {
  if (depthBytes == 2) return PickInstance<SpanInstance<2>>(textured, bilinear, fog, blend, alphaTest, dither);
  if (depthBytes == 4) return PickInstance<SpanInstance<4>>(textured, bilinear, fog, blend, alphaTest, dither);
  return PickInstance<SpanInstance<0>>(textured, bilinear, fog, blend, alphaTest, dither);
}

namespace {
void FillGeneral(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  RowWalker rows(t, cy0, cy1);
  int left, x0, x1;
  Interp p;
  for (int y = rows.First(); y <= rows.Last(); ++y)
    if (rows.Row(y, cx0, cx1, left, x0, x1, p)) t.span(*t.context, y, left, x0, x1, p, t.ddx);
}
}  // namespace

FillFn PickFill(const DrawContext& c, bool textured, bool bilinear, bool fog, bool blend, bool alphaTest,
                int depthBytes, bool wide) {
#if defined(TARN_RASTER_SSE2)
  // The engine's state has SIMD loops of its own.
  bool simd = textured && bilinear && c.texPow2 && c.colourOp == TextureOp::Modulate &&
              c.alphaOp == TextureOp::Modulate && depthBytes == 2 && c.zFunc == Compare::LessEqual && c.zWrite &&
              (!alphaTest || (c.alphaFunc == Compare::GreaterEqual && c.alphaRef > 0)) &&
              (!blend || c.srcAlphaBlend);
  if (simd) {
#if defined(TARN_RASTER_AVX2)
    if (wide && UseAvx512()) return PickFillAvx512(fog, blend, alphaTest, c.dither);
    if (UseAvx512()) return PickFillAvx2Vl(fog, blend, alphaTest, c.dither);
    if (UseAvx2()) return PickFillAvx2(fog, blend, alphaTest, c.dither);
#endif
    return PickFillSse2(fog, blend, alphaTest, c.dither);
  }
#else
  (void)c, (void)textured, (void)bilinear, (void)fog, (void)blend, (void)alphaTest, (void)depthBytes, (void)wide;
#endif
  return &FillGeneral;
}

}  // namespace tarn::raster::detail

namespace tarn::raster {
void LimitSimd(Simd widest) { detail::simdLimit = widest; }
}  // namespace tarn::raster
