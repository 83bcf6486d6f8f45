// The eight-lane fill (FillEngine.inl's L, the row walk and the algorithm),
// included by FillAvx2.cpp inside an anonymous namespace, once after each
// of its target switches: TARN_AVX2_LANES_VL is 0 for AVX2 and 1 for
// processors with AVX-512, where the same operations get 32 registers
// instead of 16 and no interpolant has to wait on the stack, and loads and
// stores are masked.

#include "platform/raster/RowWalker4.inl"

// Eight lanes. The channel lanes of I hold pixels {0, 1, 4, 5} ("lo") and
// {2, 3, 6, 7} ("hi"), as AVX2's in-lane unpacking leaves them.
struct Avx2 {
  static constexpr int kCount = 8;
  using Rows = RowWalker4;
#if TARN_AVX2_LANES_VL
  // AVX-512 masks the lanes past the target's edge out of loads and stores.
  static constexpr bool kMasked = true;
  using Mask = __mmask8;
  static Mask FirstLanes(int n) { return n >= kCount ? Mask(0xFF) : static_cast<Mask>((1u << n) - 1u); }
  static __m128i LoadMasked(const std::uint16_t* p, Mask m) { return _mm_maskz_loadu_epi16(m, p); }
  static void StoreMasked(std::uint16_t* p, Mask m, __m128i v) { _mm_mask_storeu_epi16(p, m, v); }
  static Mask MaskOf(__m256i lanes) { return _mm256_movepi32_mask(lanes); }
#else
  static constexpr bool kMasked = false;
#endif
  using F = __m256;
  using I = __m256i;
  using Packed = __m128i;

  static F Set(float v) { return _mm256_set1_ps(v); }
  static F Add(F a, F b) { return _mm256_add_ps(a, b); }
  static F Sub(F a, F b) { return _mm256_sub_ps(a, b); }
  static F Mul(F a, F b) { return _mm256_mul_ps(a, b); }
  static F Div(F a, F b) { return _mm256_div_ps(a, b); }
  static F Min(F a, F b) { return _mm256_min_ps(a, b); }
  static F Max(F a, F b) { return _mm256_max_ps(a, b); }
  static F ToFloat(I v) { return _mm256_cvtepi32_ps(v); }
  static I Truncate(F v) { return _mm256_cvttps_epi32(v); }

  static I Set32(int v) { return _mm256_set1_epi32(v); }
  static I Set16(short v) { return _mm256_set1_epi16(v); }
  static I LaneIndex() { return _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0); }
  // Eight 16-bit values, highest first, repeated across the register.
  static I Repeat(short e7, short e6, short e5, short e4, short e3, short e2, short e1, short e0) {
    return _mm256_set_epi16(e7, e6, e5, e4, e3, e2, e1, e0, e7, e6, e5, e4, e3, e2, e1, e0);
  }
  static I Add32(I a, I b) { return _mm256_add_epi32(a, b); }
  static I Sub32(I a, I b) { return _mm256_sub_epi32(a, b); }
  static I Greater32(I a, I b) { return _mm256_cmpgt_epi32(a, b); }
  static I Sll32By(I v, __m128i count) { return _mm256_sll_epi32(v, count); }
  static I Sll32(I v, int count) { return _mm256_slli_epi32(v, count); }
  static I Srl32(I v, int count) { return _mm256_srli_epi32(v, count); }
  static I Sra32(I v, int count) { return _mm256_srai_epi32(v, count); }
  static I Add16(I a, I b) { return _mm256_add_epi16(a, b); }
  static I Sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
  static I Mul16(I a, I b) { return _mm256_mullo_epi16(a, b); }
  static I Min16(I a, I b) { return _mm256_min_epi16(a, b); }
  static I Srl16(I v, int count) { return _mm256_srli_epi16(v, count); }
  static I Greater16(I a, I b) { return _mm256_cmpgt_epi16(a, b); }
  static I Equal16(I a, I b) { return _mm256_cmpeq_epi16(a, b); }
  static I And(I a, I b) { return _mm256_and_si256(a, b); }
  static I AndNot(I a, I b) { return _mm256_andnot_si256(a, b); }  // ~a & b
  static I Or(I a, I b) { return _mm256_or_si256(a, b); }
  static I Select(I mask, I a, I b) { return _mm256_blendv_epi8(b, a, mask); }
  static bool None(I mask) { return _mm256_movemask_epi8(mask) == 0; }
  static bool All(I mask) { return _mm256_movemask_epi8(mask) == -1; }

  static I PackS32(I a, I b) { return _mm256_packs_epi32(a, b); }
  static I PackS16(I a, I b) { return _mm256_packs_epi16(a, b); }
  static I PackU16(I a, I b) { return _mm256_packus_epi16(a, b); }
  static I Unpack8Lo(I a, I b) { return _mm256_unpacklo_epi8(a, b); }
  static I Unpack8Hi(I a, I b) { return _mm256_unpackhi_epi8(a, b); }
  static I Unpack16Lo(I a, I b) { return _mm256_unpacklo_epi16(a, b); }
  static I Unpack32Lo(I a, I b) { return _mm256_unpacklo_epi32(a, b); }
  static I Unpack32Hi(I a, I b) { return _mm256_unpackhi_epi32(a, b); }
  static I AlphaToAll(I v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF); }

  static Packed Load(const std::uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(std::uint16_t* p, Packed v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static I Widen(Packed v) { return _mm256_cvtepu16_epi32(v); }
  static int Highest(Packed v) {  // 0xFFFF less the least of the complements
    return 0xFFFF - (_mm_cvtsi128_si32(_mm_minpos_epu16(_mm_xor_si128(v, _mm_set1_epi32(-1)))) & 0xFFFF);
  }
  static Packed Narrow(I v) { return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)); }
  static Packed NarrowMask(I mask) {
    return _mm_packs_epi32(_mm256_castsi256_si128(mask), _mm256_extracti128_si256(mask, 1));
  }
  static Packed SelectPacked(Packed mask, Packed a, Packed b) { return _mm_blendv_epi8(b, a, mask); }

  static I Gather(const std::int32_t* table, int, I index) { return _mm256_i32gather_epi32(table, index, 4); }
  // The texel at each index and the one after it, one 8-byte load each,
  // put together in the order that leaves them with the pixels in order.
  // Eight loads cost less than two gathers on processors that split a
  // gather into its loads anyway and wait for all of them (2-3% of a frame
  // of the draws and objects worlds at 1920x1080 on one with AVX-512).
  static void Pairs(const std::uint32_t* t, int, int, I index, I& left, I& right) {
    std::int32_t at[8];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), index);  // no alignment asked of the stack
    auto pair = [&](int k) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + at[k])); };
    __m256 a = _mm256_castsi256_ps(_mm256_set_m128i(_mm_unpacklo_epi64(pair(4), pair(5)), _mm_unpacklo_epi64(pair(0), pair(1))));
    __m256 b = _mm256_castsi256_ps(_mm256_set_m128i(_mm_unpacklo_epi64(pair(6), pair(7)), _mm_unpacklo_epi64(pair(2), pair(3))));
    left = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));  // 0 1 4 5 | 2 3 6 7 -> in order
    right = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  }
};

#include "platform/raster/FillEngine.inl"
