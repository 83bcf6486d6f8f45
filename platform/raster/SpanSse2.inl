// The engine's triangles filled four pixels a time in SSE2 (included by
// Span.cpp inside its namespace; the fallback where AVX2 is missing). The
// rows are walked here, so that what is fixed for the draw is set up once
// per triangle rather than once per row. The state: a wrapped
// power-of-two texture, bilinear, modulated by the diffuse colour in colour
// and alpha, 16-bit depth tested LESSEQUAL and written, and the template's
// fog, blending (SRCALPHA / INVSRCALPHA), alpha test (GREATEREQUAL) and
// dither. Groups start at multiples of four and mask the pixels outside the
// row's span, so a pixel's arithmetic is the same wherever a tile cut the
// span; it is also the same, lane for lane, as the eight-pixel loop's.
namespace sse2 {

// 4 x 32 -> each pixel's value in its four 16-bit lanes (pixels 0, 1 | 2, 3).
inline void Spread(__m128i f, __m128i& lo, __m128i& hi) {
  __m128i f16 = _mm_packs_epi32(f, f);
  __m128i dd = _mm_unpacklo_epi16(f16, f16);
  lo = _mm_unpacklo_epi32(dd, dd);
  hi = _mm_unpackhi_epi32(dd, dd);
}

// Four pixels' channels as 32-bit lanes -> B G R A 16-bit lanes.
inline void Lanes(__m128i b, __m128i g, __m128i r, __m128i a, __m128i& lo, __m128i& hi) {
  __m128i t0 = _mm_unpacklo_epi16(_mm_packs_epi32(b, b), _mm_packs_epi32(g, g));
  __m128i t1 = _mm_unpacklo_epi16(_mm_packs_epi32(r, r), _mm_packs_epi32(a, a));
  lo = _mm_unpacklo_epi32(t0, t1);
  hi = _mm_unpackhi_epi32(t0, t1);
}

inline __m128i Lerp(__m128i a, __m128i b, __m128i w) {  // (a (256 - w) + b w) >> 8
  __m128i iw = _mm_sub_epi16(_mm_set1_epi16(256), w);
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, iw), _mm_mullo_epi16(b, w)), 8);
}

inline __m128i Div255(__m128i t) {  // t + 128 must fit 16 bits
  t = _mm_add_epi16(t, _mm_set1_epi16(128));
  return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

inline __m128i ByteOf(__m128 v) {
  return _mm_cvttps_epi32(
      _mm_add_ps(_mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
}

// 32-bit lanes -> 16-bit lanes of 0..65535, in order.
inline __m128i Pack16(__m128i v) {
  const __m128i bias = _mm_set1_epi32(32768);
  return _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(v, bias), _mm_setzero_si128()),
                       _mm_set1_epi16(static_cast<short>(0x8000)));
}

template <bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
void FillEngine(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  const DrawContext& c = *t.context;
  const Interp& d = t.ddx;
  const Shading& sh = *c.shading;
  const __m128i zero = _mm_setzero_si128(), oneI = _mm_set1_epi32(1);
  const __m128i maskW = _mm_set1_epi32(c.texW - 1), maskH = _mm_set1_epi32(c.texH - 1);
  const __m128i shiftW = _mm_cvtsi32_si128(c.texShift);
  const __m128 scaleU = _mm_set1_ps(static_cast<float>(c.texW * 256)), scaleV = _mm_set1_ps(static_cast<float>(c.texH * 256));
  const __m128 c128f = _mm_set1_ps(128.0f), c65536f = _mm_set1_ps(65536.0f);
  const __m128i c65536 = _mm_set1_epi32(65536), c255i = _mm_set1_epi32(255);
  const __m128 wNear = _mm_set1_ps(c.wNear), wScale = _mm_set1_ps(c.wScale), depthMax = _mm_set1_ps(c.depthMax);
  const __m128 onef = _mm_set1_ps(1.0f), zerof = _mm_setzero_ps(), halff = _mm_set1_ps(0.5f);
  const __m128i c128 = _mm_set1_epi16(128), c255 = _mm_set1_epi16(255), c256 = _mm_set1_epi16(256);
  const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  const __m128i fogColour = _mm_set_epi16(0, static_cast<short>(sh.fogR), static_cast<short>(sh.fogG), static_cast<short>(sh.fogB), 0,
                                          static_cast<short>(sh.fogR), static_cast<short>(sh.fogG), static_cast<short>(sh.fogB));
  const __m128i refMinus1 = _mm_set1_epi16(static_cast<short>(c.alphaRef - 1));
  const __m128 fogScale = _mm_set1_ps(sh.fogScale), fogLast = _mm_set1_ps(static_cast<float>(kFogTable - 1));
  // Groups start at multiples of four: lane k is column k of the 4 x 4
  // dither pattern; one pair per row phase.
  __m128i ditherLo[4], ditherHi[4];
  for (int phase = 0; phase < 4; ++phase) {
    const int* bayer = kBayer[phase];
    auto r = [&](int k) { return static_cast<short>(bayer[k] >> 1); };
    auto g = [&](int k) { return static_cast<short>(bayer[k] >> 2); };
    ditherLo[phase] = _mm_set_epi16(0, r(1), g(1), r(1), 0, r(0), g(0), r(0));
    ditherHi[phase] = _mm_set_epi16(0, r(3), g(3), r(3), 0, r(2), g(2), r(2));
  }
  // A face of one colour (flat-lit) modulates by constant lanes, and white
  // needs no modulation at all (texel x 255 / 255 is the texel).
  const bool flat = d.r == 0.0f && d.g == 0.0f && d.b == 0.0f && d.a == 0.0f;
  const __m128 diw = _mm_set1_ps(d.iw), duw = _mm_set1_ps(d.uw), dvw = _mm_set1_ps(d.vw), dz = _mm_set1_ps(d.z);
  const __m128i laneIndex = _mm_set_epi32(3, 2, 1, 0);

  RowWalker rows(t, cy0, cy1);
  int left, x0, x1;
  Interp p;
  for (int y = rows.First(); y <= rows.Last(); ++y) {
    if (!rows.Row(y, cx0, cx1, left, x0, x1, p)) continue;
    auto* row = reinterpret_cast<std::uint16_t*>(c.colour + static_cast<std::ptrdiff_t>(y) * c.colourPitch);
    auto* depthRow = reinterpret_cast<std::uint16_t*>(c.depth + static_cast<std::ptrdiff_t>(y) * c.depthPitch);
    const __m128i ditherL = ditherLo[y & 3], ditherH = ditherHi[y & 3];
    const int fr = ClampByte(p.r), fg = ClampByte(p.g), fb = ClampByte(p.b), fa = ClampByte(p.a);
    const bool white = flat && fr == 255 && fg == 255 && fb == 255 && fa == 255;
    const __m128i flatLanes = _mm_set_epi16(static_cast<short>(fa), static_cast<short>(fr), static_cast<short>(fg), static_cast<short>(fb),
                                            static_cast<short>(fa), static_cast<short>(fr), static_cast<short>(fg), static_cast<short>(fb));
    const __m128 piw = _mm_set1_ps(p.iw), puw = _mm_set1_ps(p.uw), pvw = _mm_set1_ps(p.vw), pz = _mm_set1_ps(p.z);
    const __m128i first = _mm_set1_epi32(x0 - 1), last = _mm_set1_epi32(x1 + 1), leftI = _mm_set1_epi32(left);
    for (int xg = x0 & ~3; xg <= x1; xg += 4) {
      const __m128i lane = _mm_add_epi32(_mm_set1_epi32(xg), laneIndex);
      const __m128i covered = _mm_and_si128(_mm_cmpgt_epi32(lane, first), _mm_cmplt_epi32(lane, last));
      const __m128 k = _mm_cvtepi32_ps(_mm_sub_epi32(lane, leftI));
      GroupMemory<4> mem(row, depthRow, xg, c.targetWidth);
      __m128 w = _mm_div_ps(onef, _mm_add_ps(piw, _mm_mul_ps(diw, k)));
      __m128 z = _mm_add_ps(pz, _mm_mul_ps(dz, k));
      __m128 depthZ = c.useW ? _mm_mul_ps(_mm_sub_ps(w, wNear), wScale) : z;
      depthZ = _mm_min_ps(_mm_max_ps(depthZ, zerof), onef);
      __m128i depth = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(depthZ, depthMax), halff));
      __m128i stored = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mem.depth)), zero);
      __m128i pass = _mm_andnot_si128(_mm_cmpgt_epi32(depth, stored), covered);
      if (_mm_movemask_epi8(pass) == 0) continue;

      __m128 u = _mm_mul_ps(_mm_add_ps(puw, _mm_mul_ps(duw, k)), w), v = _mm_mul_ps(_mm_add_ps(pvw, _mm_mul_ps(dvw, k)), w);
      __m128i iu = _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(u, scaleU), c128f), c65536f)), c65536);
      __m128i iv = _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(v, scaleV), c128f), c65536f)), c65536);
      __m128i tu = _mm_srai_epi32(iu, 8), tv = _mm_srai_epi32(iv, 8);
      // Rows are width + 1 texels, the last a copy of the first: the right
      // neighbour of every texel is the next one in memory, so each row of
      // the 2 x 2 footprint is one 8-byte load.
      __m128i xa = _mm_and_si128(tu, maskW);
      __m128i ra = _mm_and_si128(tv, maskH), rb = _mm_and_si128(_mm_add_epi32(tv, oneI), maskH);
      ra = _mm_add_epi32(_mm_sll_epi32(ra, shiftW), ra);
      rb = _mm_add_epi32(_mm_sll_epi32(rb, shiftW), rb);
      alignas(16) std::int32_t ia[4], ib[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(ia), _mm_add_epi32(ra, xa));
      _mm_store_si128(reinterpret_cast<__m128i*>(ib), _mm_add_epi32(rb, xa));
      const std::uint32_t* t = c.texels;
      auto pairs = [&](const std::int32_t* idx, __m128i& leftT, __m128i& rightT) {
        __m128 a = _mm_castsi128_ps(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[0])),
                                                       _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[1]))));
        __m128 b = _mm_castsi128_ps(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[2])),
                                                       _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[3]))));
        leftT = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        rightT = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
      };
      __m128i t00, t10, t01, t11;
      pairs(ia, t00, t10);
      pairs(ib, t01, t11);
      __m128i fxLo, fxHi, fyLo, fyHi;
      Spread(_mm_and_si128(iu, c255i), fxLo, fxHi);
      Spread(_mm_and_si128(iv, c255i), fyLo, fyHi);
      __m128i topLo = Lerp(_mm_unpacklo_epi8(t00, zero), _mm_unpacklo_epi8(t10, zero), fxLo);
      __m128i topHi = Lerp(_mm_unpackhi_epi8(t00, zero), _mm_unpackhi_epi8(t10, zero), fxHi);
      __m128i botLo = Lerp(_mm_unpacklo_epi8(t01, zero), _mm_unpacklo_epi8(t11, zero), fxLo);
      __m128i botHi = Lerp(_mm_unpackhi_epi8(t01, zero), _mm_unpackhi_epi8(t11, zero), fxHi);
      __m128i cLo = Lerp(topLo, botLo, fyLo);
      __m128i cHi = Lerp(topHi, botHi, fyHi);

      if (!flat) {
        __m128i dLo, dHi;
        Lanes(ByteOf(_mm_add_ps(_mm_set1_ps(p.b), _mm_mul_ps(_mm_set1_ps(d.b), k))),
              ByteOf(_mm_add_ps(_mm_set1_ps(p.g), _mm_mul_ps(_mm_set1_ps(d.g), k))),
              ByteOf(_mm_add_ps(_mm_set1_ps(p.r), _mm_mul_ps(_mm_set1_ps(d.r), k))),
              ByteOf(_mm_add_ps(_mm_set1_ps(p.a), _mm_mul_ps(_mm_set1_ps(d.a), k))), dLo, dHi);
        cLo = Div255(_mm_mullo_epi16(cLo, dLo));
        cHi = Div255(_mm_mullo_epi16(cHi, dHi));
      } else if (!white) {
        cLo = Div255(_mm_mullo_epi16(cLo, flatLanes));
        cHi = Div255(_mm_mullo_epi16(cHi, flatLanes));
      }
      __m128i aLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(cLo, 0xFF), 0xFF);
      __m128i aHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(cHi, 0xFF), 0xFF);
      if constexpr (kAlphaTest) {
        pass = _mm_and_si128(pass, _mm_packs_epi16(_mm_cmpgt_epi16(aLo, refMinus1), _mm_cmpgt_epi16(aHi, refMinus1)));
        if (_mm_movemask_epi8(pass) == 0) continue;
      }
      __m128i keptDepth = _mm_or_si128(_mm_and_si128(pass, depth), _mm_andnot_si128(pass, stored));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(mem.depth), Pack16(keptDepth));
      if constexpr (kFog) {
        __m128 dist = c.fogFromW ? w : z;
        __m128i fi = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(_mm_mul_ps(dist, fogScale), zerof), fogLast));
        alignas(16) std::int32_t idx[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(idx), fi);
        __m128i f = _mm_set_epi32(sh.fogTable[idx[3]], sh.fogTable[idx[2]], sh.fogTable[idx[1]], sh.fogTable[idx[0]]);
        __m128i fLo, fHi;
        Spread(f, fLo, fHi);
        fLo = _mm_or_si128(_mm_andnot_si128(alphaLanes, fLo), _mm_and_si128(alphaLanes, c256));
        fHi = _mm_or_si128(_mm_andnot_si128(alphaLanes, fHi), _mm_and_si128(alphaLanes, c256));
        cLo = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(cLo, fLo), _mm_mullo_epi16(fogColour, _mm_sub_epi16(c256, fLo))), c128), 8);
        cHi = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(cHi, fHi), _mm_mullo_epi16(fogColour, _mm_sub_epi16(c256, fHi))), c128), 8);
      }
      __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(mem.colour));
      if constexpr (kBlend) {
        __m128i opaque = _mm_and_si128(_mm_cmpeq_epi16(aLo, c255), _mm_cmpeq_epi16(aHi, c255));
        if (_mm_movemask_epi8(opaque) != 0xFFFF) {
          __m128i d32 = _mm_unpacklo_epi16(old, zero);
          __m128i r5 = _mm_and_si128(_mm_srli_epi32(d32, 11), _mm_set1_epi32(31));
          __m128i g6 = _mm_and_si128(_mm_srli_epi32(d32, 5), _mm_set1_epi32(63));
          __m128i b5 = _mm_and_si128(d32, _mm_set1_epi32(31));
          __m128i r8 = _mm_or_si128(_mm_slli_epi32(r5, 3), _mm_srli_epi32(r5, 2));
          __m128i g8 = _mm_or_si128(_mm_slli_epi32(g6, 2), _mm_srli_epi32(g6, 4));
          __m128i b8 = _mm_or_si128(_mm_slli_epi32(b5, 3), _mm_srli_epi32(b5, 2));
          __m128i dstLo, dstHi;
          Lanes(b8, g8, r8, zero, dstLo, dstHi);
          cLo = Div255(_mm_add_epi16(_mm_mullo_epi16(cLo, aLo), _mm_mullo_epi16(dstLo, _mm_sub_epi16(c255, aLo))));
          cHi = Div255(_mm_add_epi16(_mm_mullo_epi16(cHi, aHi), _mm_mullo_epi16(dstHi, _mm_sub_epi16(c255, aHi))));
        }
      }
      if constexpr (kDither) {
        cLo = _mm_min_epi16(_mm_add_epi16(cLo, ditherL), c255);
        cHi = _mm_min_epi16(_mm_add_epi16(cHi, ditherH), c255);
      }
      __m128i px = _mm_packus_epi16(cLo, cHi);
      __m128i v565 = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(px, 8), _mm_set1_epi32(0xF800)),
                                               _mm_and_si128(_mm_srli_epi32(px, 5), _mm_set1_epi32(0x07E0))),
                                  _mm_and_si128(_mm_srli_epi32(px, 3), _mm_set1_epi32(0x001F)));
      __m128i mask16 = _mm_packs_epi32(pass, pass);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(mem.colour),
                       _mm_or_si128(_mm_and_si128(mask16, Pack16(v565)), _mm_andnot_si128(mask16, old)));
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

}  // namespace sse2
