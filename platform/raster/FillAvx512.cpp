// The engine's triangle fill sixteen pixels at a time with AVX-512 (F, BW,
// DQ and VL), chosen at run time (FillEngine.inl holds the algorithm; the
// pixels are the AVX2 and SSE2 loops' own). Only the code after the target
// switch below is compiled for AVX-512.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers start results from a deliberately undefined
// register, which its flow analysis reports as possibly uninitialised when
// inlined (a false positive of the headers, not of this file).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <cstdint>
#include <cstring>

#include "platform/raster/RasterLocal.h"

#if defined(TARN_RASTER_AVX512)
#include <immintrin.h>

TARN_RASTER_TARGET_BEGIN(TARN_RASTER_AVX512_SETS)

namespace tarn::raster::detail {
namespace {

#include "platform/raster/RowWalker4.inl"

// Sixteen lanes. The channel lanes of I hold pixels {0, 1, 4, 5, 8, 9, 12,
// 13} ("lo") and {2, 3, 6, 7, 10, 11, 14, 15} ("hi"), as the in-lane
// unpacking leaves them. Comparisons give masks as whole lanes of ones, as
// the narrower loops' do.
struct Avx512 {
  static constexpr int kCount = 16;
  using Rows = RowWalker4;
  // Lanes past the target's edge are masked out of loads and stores.
  static constexpr bool kMasked = true;
  using Mask = __mmask16;
  static Mask FirstLanes(int n) { return n >= kCount ? Mask(0xFFFF) : static_cast<Mask>((1u << n) - 1u); }
  static __m256i LoadMasked(const std::uint16_t* p, Mask m) { return _mm256_maskz_loadu_epi16(m, p); }
  static void StoreMasked(std::uint16_t* p, Mask m, __m256i v) { _mm256_mask_storeu_epi16(p, m, v); }
  static Mask MaskOf(__m512i lanes) { return _mm512_movepi32_mask(lanes); }
  using F = __m512;
  using I = __m512i;
  using Packed = __m256i;

  static F Set(float v) { return _mm512_set1_ps(v); }
  static F Add(F a, F b) { return _mm512_add_ps(a, b); }
  static F Sub(F a, F b) { return _mm512_sub_ps(a, b); }
  static F Mul(F a, F b) { return _mm512_mul_ps(a, b); }
  static F Div(F a, F b) { return _mm512_div_ps(a, b); }
  static F Min(F a, F b) { return _mm512_min_ps(a, b); }
  static F Max(F a, F b) { return _mm512_max_ps(a, b); }
  static F ToFloat(I v) { return _mm512_cvtepi32_ps(v); }
  static I Truncate(F v) { return _mm512_cvttps_epi32(v); }

  static I Set32(int v) { return _mm512_set1_epi32(v); }
  static I Set16(short v) { return _mm512_set1_epi16(v); }
  static I LaneIndex() { return _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0); }
  // Eight 16-bit values, highest first, repeated across the register.
  static I Repeat(short e7, short e6, short e5, short e4, short e3, short e2, short e1, short e0) {
    auto pair = [](short hi, short lo) {
      return static_cast<int>(static_cast<unsigned>(static_cast<std::uint16_t>(hi)) << 16 | static_cast<std::uint16_t>(lo));
    };
    return _mm512_set4_epi32(pair(e7, e6), pair(e5, e4), pair(e3, e2), pair(e1, e0));
  }
  static I Add32(I a, I b) { return _mm512_add_epi32(a, b); }
  static I Sub32(I a, I b) { return _mm512_sub_epi32(a, b); }
  static I Greater32(I a, I b) { return _mm512_movm_epi32(_mm512_cmpgt_epi32_mask(a, b)); }
  static I Sll32By(I v, __m128i count) { return _mm512_sll_epi32(v, count); }
  static I Sll32(I v, int count) { return _mm512_slli_epi32(v, static_cast<unsigned>(count)); }
  static I Srl32(I v, int count) { return _mm512_srli_epi32(v, static_cast<unsigned>(count)); }
  static I Sra32(I v, int count) { return _mm512_srai_epi32(v, static_cast<unsigned>(count)); }
  static I Add16(I a, I b) { return _mm512_add_epi16(a, b); }
  static I Sub16(I a, I b) { return _mm512_sub_epi16(a, b); }
  static I Mul16(I a, I b) { return _mm512_mullo_epi16(a, b); }
  static I Min16(I a, I b) { return _mm512_min_epi16(a, b); }
  static I Srl16(I v, int count) { return _mm512_srli_epi16(v, static_cast<unsigned>(count)); }
  static I Greater16(I a, I b) { return _mm512_movm_epi16(_mm512_cmpgt_epi16_mask(a, b)); }
  static I Equal16(I a, I b) { return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(a, b)); }
  static I And(I a, I b) { return _mm512_and_si512(a, b); }
  static I AndNot(I a, I b) { return _mm512_andnot_si512(a, b); }  // ~a & b
  static I Or(I a, I b) { return _mm512_or_si512(a, b); }
  static I Select(I mask, I a, I b) { return _mm512_ternarylogic_epi32(mask, a, b, 0xCA); }  // mask ? a : b, per bit
  static bool None(I mask) { return _mm512_test_epi32_mask(mask, mask) == 0; }
  static bool All(I mask) { return _mm512_cmpneq_epi32_mask(mask, _mm512_set1_epi32(-1)) == 0; }

  static I PackS32(I a, I b) { return _mm512_packs_epi32(a, b); }
  static I PackS16(I a, I b) { return _mm512_packs_epi16(a, b); }
  static I PackU16(I a, I b) { return _mm512_packus_epi16(a, b); }
  static I Unpack8Lo(I a, I b) { return _mm512_unpacklo_epi8(a, b); }
  static I Unpack8Hi(I a, I b) { return _mm512_unpackhi_epi8(a, b); }
  static I Unpack16Lo(I a, I b) { return _mm512_unpacklo_epi16(a, b); }
  static I Unpack32Lo(I a, I b) { return _mm512_unpacklo_epi32(a, b); }
  static I Unpack32Hi(I a, I b) { return _mm512_unpackhi_epi32(a, b); }
  static I AlphaToAll(I v) { return _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(v, 0xFF), 0xFF); }

  static Packed Load(const std::uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(std::uint16_t* p, Packed v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static I Widen(Packed v) { return _mm512_cvtepu16_epi32(v); }
  static int Highest(Packed v) {
    const __m128i m = _mm_max_epu16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return 0xFFFF - (_mm_cvtsi128_si32(_mm_minpos_epu16(_mm_xor_si128(m, _mm_set1_epi32(-1)))) & 0xFFFF);
  }
  // Saturated to 0..65535 as a signed value, as the narrower loops' packing does.
  static Packed Narrow(I v) { return _mm512_cvtusepi32_epi16(_mm512_max_epi32(v, _mm512_setzero_si512())); }
  static Packed NarrowMask(I mask) { return _mm512_cvtepi32_epi16(mask); }
  static Packed SelectPacked(Packed mask, Packed a, Packed b) { return _mm256_blendv_epi8(b, a, mask); }

  // Gathers are slow on processors that split 512-bit work; neighbouring
  // pixels mostly read neighbouring entries, so a window of entries around
  // the first lane's is loaded whole and permuted, and only a group that
  // reaches outside it gathers. `size` entries may be read at `table`.
  static I Gather(const std::int32_t* table, int size, I index) {
    if (size >= 16) {
      const int base = Clamp(_mm_cvtsi128_si32(_mm512_castsi512_si128(index)) - 8, size - 16);
      const I at = _mm512_sub_epi32(index, _mm512_set1_epi32(base));
      if (_mm512_cmplt_epu32_mask(at, _mm512_set1_epi32(16)) == 0xFFFF)
        return _mm512_permutexvar_epi32(at, _mm512_loadu_si512(table + base));
    }
    return _mm512_i32gather_epi32(index, table, 4);
  }
  // The texel at each index and the one after it (of `size` texels at t,
  // rows of `stride`). A group's texels mostly lie in one row or in two
  // neighbouring ones (where v crosses a texel edge inside the group): a
  // window around the first lane's index, and one a row above or below it
  // for the lanes outside the first.
  static void Pairs(const std::uint32_t* t, int size, int stride, I index, I& left, I& right) {
    if (size >= 32) {
      const int first = _mm_cvtsi128_si32(_mm512_castsi512_si128(index)) - 15;
      const int base = Clamp(first, size - 32);
      const I at = _mm512_sub_epi32(index, _mm512_set1_epi32(base));
      const __mmask16 inside = _mm512_cmplt_epu32_mask(at, _mm512_set1_epi32(31));
      // The other lanes in the row below the window's, or above it.
      int other = 0;
      I atOther = at;
      __mmask16 reached = inside;
      if (inside != 0xFFFF) {
        const int last = _mm_cvtsi128_si32(_mm512_castsi512_si128(_mm512_alignr_epi32(index, index, 15)));
        other = Clamp(last > first + 15 ? base + stride : base - stride, size - 32);
        atOther = _mm512_sub_epi32(index, _mm512_set1_epi32(other));
        reached |= _mm512_cmplt_epu32_mask(atOther, _mm512_set1_epi32(31));
      }
      if (reached == 0xFFFF) {
        FromWindow(t + base, at, left, right);
        if (inside != 0xFFFF) {
          I otherLeft, otherRight;
          FromWindow(t + other, atOther, otherLeft, otherRight);
          left = _mm512_mask_blend_epi32(inside, otherLeft, left);
          right = _mm512_mask_blend_epi32(inside, otherRight, right);
        }
        return;
      }
    }
    __m512i a = _mm512_i32gather_epi64(_mm512_castsi512_si256(index), t, 4);             // pixels 0..7
    __m512i b = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(index, 1), t, 4);      // pixels 8..15
    const __m512i even = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
    left = _mm512_permutex2var_epi32(a, even, b);
    right = _mm512_permutex2var_epi32(a, _mm512_add_epi32(even, _mm512_set1_epi32(1)), b);
  }
  static int Clamp(int base, int last) { return base < 0 ? 0 : base > last ? last : base; }
  // The 32 texels at w, each lane's at `at` and the one after it.
  static void FromWindow(const std::uint32_t* w, I at, I& left, I& right) {
    const I lo = _mm512_loadu_si512(w), hi = _mm512_loadu_si512(w + 16);
    left = _mm512_permutex2var_epi32(lo, at, hi);
    right = _mm512_permutex2var_epi32(lo, _mm512_add_epi32(at, _mm512_set1_epi32(1)), hi);
  }
};

#include "platform/raster/FillEngine.inl"

}  // namespace

FillFn PickFillAvx512(bool fog, bool blend, bool alphaTest, bool dither) {
  return PickInstance<FillInstance<Avx512>>(fog, blend, alphaTest, dither);
}

}  // namespace tarn::raster::detail

TARN_RASTER_TARGET_END
#endif
