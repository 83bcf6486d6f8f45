// The engine's triangle fill four pixels at a time with SSE2: the fallback
// where AVX2 is missing (FillEngine.inl holds the algorithm).
#include <cstdint>
#include <cstring>

#include "platform/raster/RasterLocal.h"

#if defined(TARN_RASTER_SSE2)
#include <immintrin.h>

namespace tarn::raster::detail {
namespace {

// Four lanes. A Packed value uses the low 64 bits of its register.
struct Sse2 {
  static constexpr int kCount = 4;
  using Rows = RowWalker;
  static constexpr bool kMasked = false;
  using F = __m128;
  using I = __m128i;
  using Packed = __m128i;

  static F Set(float v) { return _mm_set1_ps(v); }
  static F Add(F a, F b) { return _mm_add_ps(a, b); }
  static F Sub(F a, F b) { return _mm_sub_ps(a, b); }
  static F Mul(F a, F b) { return _mm_mul_ps(a, b); }
  static F Div(F a, F b) { return _mm_div_ps(a, b); }
  static F Min(F a, F b) { return _mm_min_ps(a, b); }
  static F Max(F a, F b) { return _mm_max_ps(a, b); }
  static F ToFloat(I v) { return _mm_cvtepi32_ps(v); }
  static I Truncate(F v) { return _mm_cvttps_epi32(v); }

  static I Set32(int v) { return _mm_set1_epi32(v); }
  static I Set16(short v) { return _mm_set1_epi16(v); }
  static I LaneIndex() { return _mm_set_epi32(3, 2, 1, 0); }
  // Eight 16-bit values, highest first, repeated across the register.
  static I Repeat(short e7, short e6, short e5, short e4, short e3, short e2, short e1, short e0) {
    return _mm_set_epi16(e7, e6, e5, e4, e3, e2, e1, e0);
  }
  static I Add32(I a, I b) { return _mm_add_epi32(a, b); }
  static I Sub32(I a, I b) { return _mm_sub_epi32(a, b); }
  static I Greater32(I a, I b) { return _mm_cmpgt_epi32(a, b); }
  static I Sll32By(I v, __m128i count) { return _mm_sll_epi32(v, count); }
  static I Sll32(I v, int count) { return _mm_slli_epi32(v, count); }
  static I Srl32(I v, int count) { return _mm_srli_epi32(v, count); }
  static I Sra32(I v, int count) { return _mm_srai_epi32(v, count); }
  static I Add16(I a, I b) { return _mm_add_epi16(a, b); }
  static I Sub16(I a, I b) { return _mm_sub_epi16(a, b); }
  static I Mul16(I a, I b) { return _mm_mullo_epi16(a, b); }
  static I Min16(I a, I b) { return _mm_min_epi16(a, b); }
  static I Srl16(I v, int count) { return _mm_srli_epi16(v, count); }
  static I Greater16(I a, I b) { return _mm_cmpgt_epi16(a, b); }
  static I Equal16(I a, I b) { return _mm_cmpeq_epi16(a, b); }
  static I And(I a, I b) { return _mm_and_si128(a, b); }
  static I AndNot(I a, I b) { return _mm_andnot_si128(a, b); }  // ~a & b
  static I Or(I a, I b) { return _mm_or_si128(a, b); }
  static I Select(I mask, I a, I b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
  static bool None(I mask) { return _mm_movemask_epi8(mask) == 0; }
  static bool All(I mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }

  static I PackS32(I a, I b) { return _mm_packs_epi32(a, b); }
  static I PackS16(I a, I b) { return _mm_packs_epi16(a, b); }
  static I PackU16(I a, I b) { return _mm_packus_epi16(a, b); }
  static I Unpack8Lo(I a, I b) { return _mm_unpacklo_epi8(a, b); }
  static I Unpack8Hi(I a, I b) { return _mm_unpackhi_epi8(a, b); }
  static I Unpack16Lo(I a, I b) { return _mm_unpacklo_epi16(a, b); }
  static I Unpack32Lo(I a, I b) { return _mm_unpacklo_epi32(a, b); }
  static I Unpack32Hi(I a, I b) { return _mm_unpackhi_epi32(a, b); }
  static I AlphaToAll(I v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF); }

  static Packed Load(const std::uint16_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
  static void Store(std::uint16_t* p, Packed v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }
  static I Widen(Packed v) { return _mm_unpacklo_epi16(v, _mm_setzero_si128()); }
  static int Highest(Packed v) {  // of the four; signed maxima on values moved down by 0x8000
    __m128i m = _mm_xor_si128(v, _mm_set1_epi16(-0x8000));
    m = _mm_max_epi16(m, _mm_shufflelo_epi16(m, _MM_SHUFFLE(1, 0, 3, 2)));
    m = _mm_max_epi16(m, _mm_shufflelo_epi16(m, _MM_SHUFFLE(2, 3, 0, 1)));
    return (_mm_cvtsi128_si32(m) & 0xFFFF) ^ 0x8000;
  }
  static Packed Narrow(I v) {  // 0..65535 each, without SSE4.1's unsigned pack
    return _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(v, _mm_set1_epi32(32768)), _mm_setzero_si128()),
                         _mm_set1_epi16(static_cast<short>(0x8000)));
  }
  static Packed NarrowMask(I mask) { return _mm_packs_epi32(mask, mask); }
  static Packed SelectPacked(Packed mask, Packed a, Packed b) { return Select(mask, a, b); }

  static I Gather(const std::int32_t* table, int, I index) {
    alignas(16) std::int32_t i[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(i), index);
    return _mm_set_epi32(table[i[3]], table[i[2]], table[i[1]], table[i[0]]);
  }
  // The texel at each index and the one after it.
  static void Pairs(const std::uint32_t* t, int, int, I index, I& left, I& right) {
    alignas(16) std::int32_t i[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(i), index);
    __m128 a = _mm_castsi128_ps(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + i[0])),
                                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + i[1]))));
    __m128 b = _mm_castsi128_ps(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + i[2])),
                                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + i[3]))));
    left = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    right = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  }
};

#include "platform/raster/FillEngine.inl"

}  // namespace

FillFn PickFillSse2(bool fog, bool blend, bool alphaTest, bool dither) {
  return PickInstance<FillInstance<Sse2>>(fog, blend, alphaTest, dither);
}

}  // namespace tarn::raster::detail
#endif
