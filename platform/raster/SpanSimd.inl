// The four-pixel span, included by Raster.cpp once per instruction set it
// is compiled for (plain SSE2, and SSE2 in VEX encoding where AVX2 exists).
// Not a header of its own: it lives inside Raster.cpp's namespace.
// The span of the engine's state, four pixels at a time: a wrapped
// power-of-two texture, bilinear, modulated by the diffuse colour in colour
// and alpha, 16-bit depth tested LESSEQUAL and written, and the template's
// fog, blending (SRCALPHA / INVSRCALPHA), alpha test (GREATEREQUAL) and
// dither. The arithmetic is the scalar loop's; the pixels left at the end of
// the span go to it.
template <bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
void SpanSimd(const DrawContext& c, int y, int x0, int x1, Interp p, const Interp& d) {
  auto* row = reinterpret_cast<std::uint16_t*>(c.colour + static_cast<std::ptrdiff_t>(y) * c.colourPitch);
  auto* depthRow = reinterpret_cast<std::uint16_t*>(c.depth + static_cast<std::ptrdiff_t>(y) * c.depthPitch);
  const __m128 k0123 = _mm_set_ps(3.0f, 2.0f, 1.0f, 0.0f);
  const __m128i zero = _mm_setzero_si128(), oneI = _mm_set1_epi32(1);
  const __m128i maskW = _mm_set1_epi32(c.texW - 1), maskH = _mm_set1_epi32(c.texH - 1);
  const __m128i shiftW = _mm_cvtsi32_si128(c.texShift);
  const __m128 scaleU = _mm_set1_ps(static_cast<float>(c.texW * 256)), scaleV = _mm_set1_ps(static_cast<float>(c.texH * 256));
  const __m128 c128f = _mm_set1_ps(128.0f), c65536f = _mm_set1_ps(65536.0f);
  const __m128i c65536 = _mm_set1_epi32(65536), c255i = _mm_set1_epi32(255);
  const __m128 wNear = _mm_set1_ps(c.wNear), wScale = _mm_set1_ps(c.wScale), depthMax = _mm_set1_ps(c.depthMax);
  const __m128 onef = _mm_set1_ps(1.0f), zerof = _mm_setzero_ps(), halff = _mm_set1_ps(0.5f), c255f = _mm_set1_ps(255.0f);
  const __m128i bias32 = _mm_set1_epi32(32768), bias16 = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i c128 = _mm_set1_epi16(128), c255 = _mm_set1_epi16(255), c256 = _mm_set1_epi16(256);
  const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  const __m128i fogColour = _mm_set_epi16(0, static_cast<short>(c.fogR), static_cast<short>(c.fogG), static_cast<short>(c.fogB), 0,
                                          static_cast<short>(c.fogR), static_cast<short>(c.fogG), static_cast<short>(c.fogB));
  const __m128i refMinus1 = _mm_set1_epi16(static_cast<short>(c.alphaRef - 1));
  const __m128 fogScale = _mm_set1_ps(c.fogScale), fogLast = _mm_set1_ps(static_cast<float>(kFogTable - 1));
  // Dither thresholds in lanes: x advances by four, so x & 3 is fixed.
  const int* bayer = kBayer[y & 3];
  auto ditherPixel = [&](int k) {
    int t = bayer[(x0 + k) & 3];
    return std::pair<short, short>(static_cast<short>(t >> 1), static_cast<short>(t >> 2));
  };
  auto [r0, g0] = ditherPixel(0);
  auto [r1, g1] = ditherPixel(1);
  auto [r2, g2] = ditherPixel(2);
  auto [r3, g3] = ditherPixel(3);
  const __m128i ditherLo = _mm_set_epi16(0, r1, g1, r1, 0, r0, g0, r0);
  const __m128i ditherHi = _mm_set_epi16(0, r3, g3, r3, 0, r2, g2, r2);

  auto spread = [](__m128i f, __m128i& lo, __m128i& hi) {  // 4 x 32 -> each pixel's value in its 4 lanes
    __m128i f16 = _mm_packs_epi32(f, f);
    __m128i dd = _mm_unpacklo_epi16(f16, f16);
    lo = _mm_unpacklo_epi32(dd, dd);
    hi = _mm_unpackhi_epi32(dd, dd);
  };
  auto lanes = [](__m128i b, __m128i g, __m128i r, __m128i a, __m128i& lo, __m128i& hi) {  // -> B G R A lanes
    __m128i t0 = _mm_unpacklo_epi16(_mm_packs_epi32(b, b), _mm_packs_epi32(g, g));
    __m128i t1 = _mm_unpacklo_epi16(_mm_packs_epi32(r, r), _mm_packs_epi32(a, a));
    lo = _mm_unpacklo_epi32(t0, t1);
    hi = _mm_unpackhi_epi32(t0, t1);
  };
  auto lerp = [](__m128i a, __m128i b, __m128i w, __m128i iw) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, iw), _mm_mullo_epi16(b, w)), 8);
  };
  auto div255 = [&](__m128i t) {  // t + 128 must fit 16 bits
    t = _mm_add_epi16(t, c128);
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
  };
  auto byteOf = [&](__m128 v) {
    return _mm_cvttps_epi32(_mm_add_ps(_mm_min_ps(_mm_max_ps(v, zerof), c255f), halff));
  };
  auto at = [&](float base, float step, float k) {
    return _mm_add_ps(_mm_set1_ps(base + step * k), _mm_mul_ps(k0123, _mm_set1_ps(step)));
  };

  // A span of one colour (a flat-lit face) modulates by constant lanes, and
  // white needs no modulation at all (texel x 255 / 255 is the texel).
  const bool flat = d.r == 0.0f && d.g == 0.0f && d.b == 0.0f && d.a == 0.0f;
  const int fr = ClampByte(p.r), fg = ClampByte(p.g), fb = ClampByte(p.b), fa = ClampByte(p.a);
  const bool white = flat && fr == 255 && fg == 255 && fb == 255 && fa == 255;
  const __m128i flatLanes = _mm_set_epi16(static_cast<short>(fa), static_cast<short>(fr), static_cast<short>(fg), static_cast<short>(fb),
                                          static_cast<short>(fa), static_cast<short>(fr), static_cast<short>(fg), static_cast<short>(fb));
  int x = x0;
  const __m128i lane = _mm_set_epi32(3, 2, 1, 0);
  // The perspective interpolants step four pixels at a time.
  __m128 iwV = at(p.iw, d.iw, 0.0f), uwV = at(p.uw, d.uw, 0.0f), vwV = at(p.vw, d.vw, 0.0f), zV = at(p.z, d.z, 0.0f);
  const __m128 iwStep = _mm_set1_ps(4.0f * d.iw), uwStep = _mm_set1_ps(4.0f * d.uw), vwStep = _mm_set1_ps(4.0f * d.vw),
               zStep = _mm_set1_ps(4.0f * d.z);
  for (; x <= x1; x += 4, iwV = _mm_add_ps(iwV, iwStep), uwV = _mm_add_ps(uwV, uwStep), vwV = _mm_add_ps(vwV, vwStep),
                  zV = _mm_add_ps(zV, zStep)) {
    // A group that passes the span's end is masked; its reads past the end
    // stay inside the buffer unless this is the last row's right edge.
    if (x + 3 > x1 && y + 1 >= c.targetHeight && x + 3 >= c.targetWidth) break;
    const __m128i covered = _mm_cmpgt_epi32(_mm_set1_epi32(x1 - x + 1), lane);
    float k = static_cast<float>(x - x0);
    __m128 w = _mm_div_ps(onef, iwV);
    __m128 z = zV;
    __m128 dz = c.useW ? _mm_mul_ps(_mm_sub_ps(w, wNear), wScale) : z;
    dz = _mm_min_ps(_mm_max_ps(dz, zerof), onef);
    __m128i depth = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(dz, depthMax), halff));
    __m128i stored = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(depthRow + x)), zero);
    __m128i pass = _mm_andnot_si128(_mm_cmpgt_epi32(depth, stored), covered);
    if (_mm_movemask_epi8(pass) == 0) continue;

    __m128 u = _mm_mul_ps(uwV, w), v = _mm_mul_ps(vwV, w);
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
    auto pairs = [&](const std::int32_t* idx, __m128i& left, __m128i& right) {
      __m128 a = _mm_castsi128_ps(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[0])),
                                                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[1]))));
      __m128 b = _mm_castsi128_ps(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[2])),
                                                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + idx[3]))));
      left = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
      right = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    };
    __m128i t00, t10, t01, t11;
    pairs(ia, t00, t10);
    pairs(ib, t01, t11);
    __m128i fxLo, fxHi, fyLo, fyHi;
    spread(_mm_and_si128(iu, c255i), fxLo, fxHi);
    spread(_mm_and_si128(iv, c255i), fyLo, fyHi);
    __m128i topLo = lerp(_mm_unpacklo_epi8(t00, zero), _mm_unpacklo_epi8(t10, zero), fxLo, _mm_sub_epi16(c256, fxLo));
    __m128i topHi = lerp(_mm_unpackhi_epi8(t00, zero), _mm_unpackhi_epi8(t10, zero), fxHi, _mm_sub_epi16(c256, fxHi));
    __m128i botLo = lerp(_mm_unpacklo_epi8(t01, zero), _mm_unpacklo_epi8(t11, zero), fxLo, _mm_sub_epi16(c256, fxLo));
    __m128i botHi = lerp(_mm_unpackhi_epi8(t01, zero), _mm_unpackhi_epi8(t11, zero), fxHi, _mm_sub_epi16(c256, fxHi));
    __m128i texLo = lerp(topLo, botLo, fyLo, _mm_sub_epi16(c256, fyLo));
    __m128i texHi = lerp(topHi, botHi, fyHi, _mm_sub_epi16(c256, fyHi));

    __m128i cLo = texLo, cHi = texHi;
    if (!flat) {
      __m128i dLo, dHi;
      lanes(byteOf(at(p.b, d.b, k)), byteOf(at(p.g, d.g, k)), byteOf(at(p.r, d.r, k)), byteOf(at(p.a, d.a, k)), dLo, dHi);
      cLo = div255(_mm_mullo_epi16(texLo, dLo));
      cHi = div255(_mm_mullo_epi16(texHi, dHi));
    } else if (!white) {
      cLo = div255(_mm_mullo_epi16(texLo, flatLanes));
      cHi = div255(_mm_mullo_epi16(texHi, flatLanes));
    }
    __m128i aLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(cLo, 0xFF), 0xFF);
    __m128i aHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(cHi, 0xFF), 0xFF);
    if constexpr (kAlphaTest) {
      pass = _mm_and_si128(pass, _mm_packs_epi16(_mm_cmpgt_epi16(aLo, refMinus1), _mm_cmpgt_epi16(aHi, refMinus1)));
      if (_mm_movemask_epi8(pass) == 0) continue;
    }
    __m128i keptDepth = _mm_or_si128(_mm_and_si128(pass, depth), _mm_andnot_si128(pass, stored));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(depthRow + x),
                     _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(keptDepth, bias32), zero), bias16));
    if constexpr (kFog) {
      __m128 dist = c.fogFromW ? w : z;
      __m128i fi = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(_mm_mul_ps(dist, fogScale), zerof), fogLast));
      alignas(16) std::int32_t idx[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(idx), fi);
      __m128i f = _mm_set_epi32(c.fogTable[idx[3]], c.fogTable[idx[2]], c.fogTable[idx[1]], c.fogTable[idx[0]]);
      __m128i fLo, fHi;
      spread(f, fLo, fHi);
      fLo = _mm_or_si128(_mm_andnot_si128(alphaLanes, fLo), _mm_and_si128(alphaLanes, c256));
      fHi = _mm_or_si128(_mm_andnot_si128(alphaLanes, fHi), _mm_and_si128(alphaLanes, c256));
      cLo = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(cLo, fLo), _mm_mullo_epi16(fogColour, _mm_sub_epi16(c256, fLo))), c128), 8);
      cHi = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(cHi, fHi), _mm_mullo_epi16(fogColour, _mm_sub_epi16(c256, fHi))), c128), 8);
    }
    __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x));
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
        lanes(b8, g8, r8, zero, dstLo, dstHi);
        cLo = div255(_mm_add_epi16(_mm_mullo_epi16(cLo, aLo), _mm_mullo_epi16(dstLo, _mm_sub_epi16(c255, aLo))));
        cHi = div255(_mm_add_epi16(_mm_mullo_epi16(cHi, aHi), _mm_mullo_epi16(dstHi, _mm_sub_epi16(c255, aHi))));
      }
    }
    if constexpr (kDither) {
      cLo = _mm_min_epi16(_mm_add_epi16(cLo, ditherLo), c255);
      cHi = _mm_min_epi16(_mm_add_epi16(cHi, ditherHi), c255);
    }
    __m128i px = _mm_packus_epi16(cLo, cHi);
    __m128i v565 = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(px, 8), _mm_set1_epi32(0xF800)),
                                             _mm_and_si128(_mm_srli_epi32(px, 5), _mm_set1_epi32(0x07E0))),
                                _mm_and_si128(_mm_srli_epi32(px, 3), _mm_set1_epi32(0x001F)));
    __m128i v16 = _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(v565, bias32), zero), bias16);
    __m128i mask16 = _mm_packs_epi32(pass, pass);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + x),
                     _mm_or_si128(_mm_and_si128(mask16, v16), _mm_andnot_si128(mask16, old)));
  }
  if (x <= x1) {
    float k = static_cast<float>(x - x0);
    Interp q{p.iw + d.iw * k, p.uw + d.uw * k, p.vw + d.vw * k, p.z + d.z * k,
             p.r + d.r * k,   p.g + d.g * k,   p.b + d.b * k,   p.a + d.a * k};
    Span<true, true, kFog, kBlend, kAlphaTest, kDither, 2>(c, y, x, x1, q, d);
  }
}

template <bool kFog, bool kBlend, bool kAlphaTest>
SpanFn PickSimdDither(bool dither) {
  return dither ? &SpanSimd<kFog, kBlend, kAlphaTest, true> : &SpanSimd<kFog, kBlend, kAlphaTest, false>;
}
template <bool kFog, bool kBlend>
SpanFn PickSimdAlpha(bool alphaTest, bool dither) {
  return alphaTest ? PickSimdDither<kFog, kBlend, true>(dither) : PickSimdDither<kFog, kBlend, false>(dither);
}
template <bool kFog>
SpanFn PickSimdBlend(bool blend, bool alphaTest, bool dither) {
  return blend ? PickSimdAlpha<kFog, true>(alphaTest, dither) : PickSimdAlpha<kFog, false>(alphaTest, dither);
}
SpanFn PickSimd(bool fog, bool blend, bool alphaTest, bool dither) {
  return fog ? PickSimdBlend<true>(blend, alphaTest, dither) : PickSimdBlend<false>(blend, alphaTest, dither);
}
