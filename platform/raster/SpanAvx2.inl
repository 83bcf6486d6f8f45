// The engine's triangles filled eight pixels a time with AVX2 (included by
// Span.cpp inside its namespace; chosen at run time). The state and the arithmetic
// are the four-pixel loop's, lane for lane, so both draw the same pixels.
// Every function here carries the target attribute itself (no lambdas: they
// would not inherit it); the row walk it calls is plain code, inlined.
namespace avx2 {

#define TARN_AVX2 __attribute__((target("avx2")))

// The 16-bit lanes hold pixels {0, 1, 4, 5} ("lo") and {2, 3, 6, 7} ("hi"),
// four channels each, as AVX2's in-lane unpacking leaves them; packing the
// two back puts the pixels in order again.
TARN_AVX2 inline void Spread(__m256i f, __m256i& lo, __m256i& hi) {
  __m256i f16 = _mm256_packs_epi32(f, f);
  __m256i dd = _mm256_unpacklo_epi16(f16, f16);
  lo = _mm256_unpacklo_epi32(dd, dd);
  hi = _mm256_unpackhi_epi32(dd, dd);
}

TARN_AVX2 inline void Lanes(__m256i b, __m256i g, __m256i r, __m256i a, __m256i& lo, __m256i& hi) {
  __m256i t0 = _mm256_unpacklo_epi16(_mm256_packs_epi32(b, b), _mm256_packs_epi32(g, g));
  __m256i t1 = _mm256_unpacklo_epi16(_mm256_packs_epi32(r, r), _mm256_packs_epi32(a, a));
  lo = _mm256_unpacklo_epi32(t0, t1);
  hi = _mm256_unpackhi_epi32(t0, t1);
}

TARN_AVX2 inline __m256i Lerp(__m256i a, __m256i b, __m256i w) {
  __m256i iw = _mm256_sub_epi16(_mm256_set1_epi16(256), w);
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, iw), _mm256_mullo_epi16(b, w)), 8);
}

TARN_AVX2 inline __m256i Div255(__m256i t) {
  t = _mm256_add_epi16(t, _mm256_set1_epi16(128));
  return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

TARN_AVX2 inline __m256i ByteOf(__m256 v) {
  return _mm256_cvttps_epi32(_mm256_add_ps(
      _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
}

TARN_AVX2 inline __m256 At(float base, float step, __m256 k) {
  return _mm256_add_ps(_mm256_set1_ps(base), _mm256_mul_ps(_mm256_set1_ps(step), k));
}

// Eight 32-bit lanes of 0..65535 -> eight 16-bit values in order.
TARN_AVX2 inline __m128i Pack16(__m256i v) {
  return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// The 2 x 2 footprints of eight pixels: each row's pair of texels is one
// 8-byte load. The gathers are ordered so that the left and right texels
// come out with the pixels in order.
TARN_AVX2 inline void Pairs(const std::uint32_t* t, __m256i idx, __m256i& leftT, __m256i& rightT) {
  __m128i lo = _mm256_castsi256_si128(idx), hi = _mm256_extracti128_si256(idx, 1);
  const auto* base = reinterpret_cast<const long long*>(t);
  __m256 a = _mm256_castsi256_ps(_mm256_i32gather_epi64(base, _mm_unpacklo_epi64(lo, hi), 4));  // 0 1 4 5
  __m256 b = _mm256_castsi256_ps(_mm256_i32gather_epi64(base, _mm_unpackhi_epi64(lo, hi), 4));  // 2 3 6 7
  leftT = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
  rightT = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
}

template <bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
TARN_AVX2 void FillEngine(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  const DrawContext& c = *t.context;
  const Interp& d = t.ddx;
  const Shading& sh = *c.shading;
  const __m256i zero = _mm256_setzero_si256(), oneI = _mm256_set1_epi32(1);
  const __m256i maskW = _mm256_set1_epi32(c.texW - 1), maskH = _mm256_set1_epi32(c.texH - 1);
  const __m128i shiftW = _mm_cvtsi32_si128(c.texShift);
  const __m256 scaleU = _mm256_set1_ps(static_cast<float>(c.texW * 256)),
               scaleV = _mm256_set1_ps(static_cast<float>(c.texH * 256));
  const __m256 c128f = _mm256_set1_ps(128.0f), c65536f = _mm256_set1_ps(65536.0f);
  const __m256i c65536 = _mm256_set1_epi32(65536), c255i = _mm256_set1_epi32(255);
  const __m256 wNear = _mm256_set1_ps(c.wNear), wScale = _mm256_set1_ps(c.wScale), depthMax = _mm256_set1_ps(c.depthMax);
  const __m256 onef = _mm256_set1_ps(1.0f), zerof = _mm256_setzero_ps(), halff = _mm256_set1_ps(0.5f);
  const __m256i c128 = _mm256_set1_epi16(128), c255 = _mm256_set1_epi16(255), c256 = _mm256_set1_epi16(256);
  const __m256i alphaLanes = _mm256_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0);
  const auto fogR = static_cast<short>(sh.fogR), fogG = static_cast<short>(sh.fogG), fogB = static_cast<short>(sh.fogB);
  const __m256i fogColour = _mm256_set_epi16(0, fogR, fogG, fogB, 0, fogR, fogG, fogB, 0, fogR, fogG, fogB, 0, fogR, fogG, fogB);
  const __m256i refMinus1 = _mm256_set1_epi16(static_cast<short>(c.alphaRef - 1));
  const __m256 fogScale = _mm256_set1_ps(sh.fogScale), fogLast = _mm256_set1_ps(static_cast<float>(kFogTable - 1));
  // Groups start at multiples of eight: the lo lanes are columns 0, 1 of the
  // dither pattern twice, the hi lanes columns 2, 3; one pair per row phase.
  __m256i ditherLo[4], ditherHi[4];
  for (int phase = 0; phase < 4; ++phase) {
    const int* bayer = kBayer[phase];
    const auto r0 = static_cast<short>(bayer[0] >> 1), g0 = static_cast<short>(bayer[0] >> 2);
    const auto r1 = static_cast<short>(bayer[1] >> 1), g1 = static_cast<short>(bayer[1] >> 2);
    const auto r2 = static_cast<short>(bayer[2] >> 1), g2 = static_cast<short>(bayer[2] >> 2);
    const auto r3 = static_cast<short>(bayer[3] >> 1), g3 = static_cast<short>(bayer[3] >> 2);
    ditherLo[phase] = _mm256_set_epi16(0, r1, g1, r1, 0, r0, g0, r0, 0, r1, g1, r1, 0, r0, g0, r0);
    ditherHi[phase] = _mm256_set_epi16(0, r3, g3, r3, 0, r2, g2, r2, 0, r3, g3, r3, 0, r2, g2, r2);
  }
  // A face of one colour (flat-lit) modulates by constant lanes, and white
  // needs no modulation at all (texel x 255 / 255 is the texel).
  const bool flat = d.r == 0.0f && d.g == 0.0f && d.b == 0.0f && d.a == 0.0f;
  const __m256i laneIndex = _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0);

  RowWalker rows(t, cy0, cy1);
  int left, x0, x1;
  Interp p;
  for (int y = rows.First(); y <= rows.Last(); ++y) {
    if (!rows.Row(y, cx0, cx1, left, x0, x1, p)) continue;
    auto* row = reinterpret_cast<std::uint16_t*>(c.colour + static_cast<std::ptrdiff_t>(y) * c.colourPitch);
    auto* depthRow = reinterpret_cast<std::uint16_t*>(c.depth + static_cast<std::ptrdiff_t>(y) * c.depthPitch);
    const __m256i ditherL = ditherLo[y & 3], ditherH = ditherHi[y & 3];
    const int fr = ClampByte(p.r), fg = ClampByte(p.g), fb = ClampByte(p.b), fa = ClampByte(p.a);
    const bool white = flat && fr == 255 && fg == 255 && fb == 255 && fa == 255;
    const auto sa = static_cast<short>(fa), sr = static_cast<short>(fr), sg = static_cast<short>(fg), sb = static_cast<short>(fb);
    const __m256i flatLanes = _mm256_set_epi16(sa, sr, sg, sb, sa, sr, sg, sb, sa, sr, sg, sb, sa, sr, sg, sb);
    const __m256i first = _mm256_set1_epi32(x0 - 1), last = _mm256_set1_epi32(x1 + 1), leftI = _mm256_set1_epi32(left);
    for (int xg = x0 & ~7; xg <= x1; xg += 8) {
      const __m256i lane = _mm256_add_epi32(_mm256_set1_epi32(xg), laneIndex);
      const __m256i covered = _mm256_and_si256(_mm256_cmpgt_epi32(lane, first), _mm256_cmpgt_epi32(last, lane));
      const __m256 k = _mm256_cvtepi32_ps(_mm256_sub_epi32(lane, leftI));
      GroupMemory<8> mem(row, depthRow, xg, c.targetWidth);
      __m256 w = _mm256_div_ps(onef, At(p.iw, d.iw, k));
      __m256 z = At(p.z, d.z, k);
      __m256 depthZ = c.useW ? _mm256_mul_ps(_mm256_sub_ps(w, wNear), wScale) : z;
      depthZ = _mm256_min_ps(_mm256_max_ps(depthZ, zerof), onef);
      __m256i depth = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(depthZ, depthMax), halff));
      __m256i stored = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mem.depth)));
      __m256i pass = _mm256_andnot_si256(_mm256_cmpgt_epi32(depth, stored), covered);
      if (_mm256_movemask_epi8(pass) == 0) continue;

      __m256 u = _mm256_mul_ps(At(p.uw, d.uw, k), w), v = _mm256_mul_ps(At(p.vw, d.vw, k), w);
      __m256i iu = _mm256_sub_epi32(
          _mm256_cvttps_epi32(_mm256_add_ps(_mm256_sub_ps(_mm256_mul_ps(u, scaleU), c128f), c65536f)), c65536);
      __m256i iv = _mm256_sub_epi32(
          _mm256_cvttps_epi32(_mm256_add_ps(_mm256_sub_ps(_mm256_mul_ps(v, scaleV), c128f), c65536f)), c65536);
      __m256i tu = _mm256_srai_epi32(iu, 8), tv = _mm256_srai_epi32(iv, 8);
      __m256i xa = _mm256_and_si256(tu, maskW);
      __m256i ra = _mm256_and_si256(tv, maskH), rb = _mm256_and_si256(_mm256_add_epi32(tv, oneI), maskH);
      ra = _mm256_add_epi32(_mm256_sll_epi32(ra, shiftW), ra);
      rb = _mm256_add_epi32(_mm256_sll_epi32(rb, shiftW), rb);
      __m256i t00, t10, t01, t11;
      Pairs(c.texels, _mm256_add_epi32(ra, xa), t00, t10);
      Pairs(c.texels, _mm256_add_epi32(rb, xa), t01, t11);
      __m256i fxLo, fxHi, fyLo, fyHi;
      Spread(_mm256_and_si256(iu, c255i), fxLo, fxHi);
      Spread(_mm256_and_si256(iv, c255i), fyLo, fyHi);
      __m256i topLo = Lerp(_mm256_unpacklo_epi8(t00, zero), _mm256_unpacklo_epi8(t10, zero), fxLo);
      __m256i topHi = Lerp(_mm256_unpackhi_epi8(t00, zero), _mm256_unpackhi_epi8(t10, zero), fxHi);
      __m256i botLo = Lerp(_mm256_unpacklo_epi8(t01, zero), _mm256_unpacklo_epi8(t11, zero), fxLo);
      __m256i botHi = Lerp(_mm256_unpackhi_epi8(t01, zero), _mm256_unpackhi_epi8(t11, zero), fxHi);
      __m256i cLo = Lerp(topLo, botLo, fyLo);
      __m256i cHi = Lerp(topHi, botHi, fyHi);

      if (!flat) {
        __m256i dLo, dHi;
        Lanes(ByteOf(At(p.b, d.b, k)), ByteOf(At(p.g, d.g, k)), ByteOf(At(p.r, d.r, k)), ByteOf(At(p.a, d.a, k)), dLo, dHi);
        cLo = Div255(_mm256_mullo_epi16(cLo, dLo));
        cHi = Div255(_mm256_mullo_epi16(cHi, dHi));
      } else if (!white) {
        cLo = Div255(_mm256_mullo_epi16(cLo, flatLanes));
        cHi = Div255(_mm256_mullo_epi16(cHi, flatLanes));
      }
      __m256i aLo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(cLo, 0xFF), 0xFF);
      __m256i aHi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(cHi, 0xFF), 0xFF);
      if constexpr (kAlphaTest) {
        // packs of lo and hi puts each pixel's four lanes back into its 32-bit lane
        pass = _mm256_and_si256(pass, _mm256_packs_epi16(_mm256_cmpgt_epi16(aLo, refMinus1), _mm256_cmpgt_epi16(aHi, refMinus1)));
        if (_mm256_movemask_epi8(pass) == 0) continue;
      }
      __m256i keptDepth = _mm256_blendv_epi8(stored, depth, pass);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(mem.depth), Pack16(keptDepth));
      if constexpr (kFog) {
        __m256 dist = c.fogFromW ? w : z;
        __m256i fi = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(_mm256_mul_ps(dist, fogScale), zerof), fogLast));
        __m256i f = _mm256_i32gather_epi32(sh.fogTable, fi, 4);
        __m256i fLo, fHi;
        Spread(f, fLo, fHi);
        fLo = _mm256_blendv_epi8(fLo, c256, alphaLanes);
        fHi = _mm256_blendv_epi8(fHi, c256, alphaLanes);
        cLo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(cLo, fLo),
                                                                  _mm256_mullo_epi16(fogColour, _mm256_sub_epi16(c256, fLo))), c128), 8);
        cHi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(cHi, fHi),
                                                                  _mm256_mullo_epi16(fogColour, _mm256_sub_epi16(c256, fHi))), c128), 8);
      }
      __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mem.colour));
      if constexpr (kBlend) {
        __m256i opaque = _mm256_and_si256(_mm256_cmpeq_epi16(aLo, c255), _mm256_cmpeq_epi16(aHi, c255));
        if (_mm256_movemask_epi8(opaque) != -1) {
          __m256i d32 = _mm256_cvtepu16_epi32(old);
          __m256i r5 = _mm256_and_si256(_mm256_srli_epi32(d32, 11), _mm256_set1_epi32(31));
          __m256i g6 = _mm256_and_si256(_mm256_srli_epi32(d32, 5), _mm256_set1_epi32(63));
          __m256i b5 = _mm256_and_si256(d32, _mm256_set1_epi32(31));
          __m256i r8 = _mm256_or_si256(_mm256_slli_epi32(r5, 3), _mm256_srli_epi32(r5, 2));
          __m256i g8 = _mm256_or_si256(_mm256_slli_epi32(g6, 2), _mm256_srli_epi32(g6, 4));
          __m256i b8 = _mm256_or_si256(_mm256_slli_epi32(b5, 3), _mm256_srli_epi32(b5, 2));
          __m256i dstLo, dstHi;
          Lanes(b8, g8, r8, zero, dstLo, dstHi);
          cLo = Div255(_mm256_add_epi16(_mm256_mullo_epi16(cLo, aLo), _mm256_mullo_epi16(dstLo, _mm256_sub_epi16(c255, aLo))));
          cHi = Div255(_mm256_add_epi16(_mm256_mullo_epi16(cHi, aHi), _mm256_mullo_epi16(dstHi, _mm256_sub_epi16(c255, aHi))));
        }
      }
      if constexpr (kDither) {
        cLo = _mm256_min_epi16(_mm256_add_epi16(cLo, ditherL), c255);
        cHi = _mm256_min_epi16(_mm256_add_epi16(cHi, ditherH), c255);
      }
      __m256i px = _mm256_packus_epi16(cLo, cHi);
      __m256i v565 = _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(px, 8), _mm256_set1_epi32(0xF800)),
                                                     _mm256_and_si256(_mm256_srli_epi32(px, 5), _mm256_set1_epi32(0x07E0))),
                                     _mm256_and_si256(_mm256_srli_epi32(px, 3), _mm256_set1_epi32(0x001F)));
      __m128i mask16 = _mm_packs_epi32(_mm256_castsi256_si128(pass), _mm256_extracti128_si256(pass, 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(mem.colour), _mm_blendv_epi8(old, Pack16(v565), mask16));
      mem.WriteBack(row, depthRow, xg);
    }
  }
}

template <bool kFog, bool kBlend, bool kAlphaTest>
FillFn PickDither(bool dither) {
  return dither ? &FillEngine<kFog, kBlend, kAlphaTest, true> : &FillEngine<kFog, kBlend, kAlphaTest, false>;
}
template <bool kFog, bool kBlend>
FillFn PickAlpha(bool alphaTest, bool dither) {
  return alphaTest ? PickDither<kFog, kBlend, true>(dither) : PickDither<kFog, kBlend, false>(dither);
}
template <bool kFog>
FillFn PickBlend(bool blend, bool alphaTest, bool dither) {
  return blend ? PickAlpha<kFog, true>(alphaTest, dither) : PickAlpha<kFog, false>(alphaTest, dither);
}
FillFn Pick(bool fog, bool blend, bool alphaTest, bool dither) {
  return fog ? PickBlend<true>(blend, alphaTest, dither) : PickBlend<false>(blend, alphaTest, dither);
}

#undef TARN_AVX2

}  // namespace avx2
