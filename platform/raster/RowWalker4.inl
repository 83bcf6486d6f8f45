// The row walk of RowWalker (RasterLocal.h) with its edges in one AVX2
// register: included inside the anonymous namespace of the fills compiled
// for AVX2 and wider, after their target switch. Small triangles spend as
// much on finding each row's span as on its pixels; here a row costs a few
// vector additions and no branch. The bounds are RowWalker's, exactly.
//
// A sloped edge bounds the row on one side: floor(cc / 16dy) on the right
// for dy > 0, the negated floor(cc / -16dy) on the left for dy < 0, with
// E(x) = cc - 16 dy x on the row. A triangle has one or two sloped edges on
// each side: lanes 0 and 1 hold the left ones, 2 and 3 the right ones, and
// a side with one edge walks it in both of its lanes. A horizontal edge
// passes or fails whole rows, and the rows it passes are one run: it trims
// First() and Last() once instead of being tested on every row.
class RowWalker4 {
 public:
  RowWalker4(const TriangleSetup& t, int cy0, int cy1) : t_(t) {
    first_ = t.yStart > cy0 ? t.yStart : cy0;
    last_ = t.yEnd < cy1 ? t.yEnd : cy1;
    for (const Edge& e : t.edges)
      if (e.dy == 0) TrimRows(e);  // before the walks start at first_
    std::int64_t q[4], r[4], b[4], sq[4], sr[4];
    int lefts = 0, rights = 0;
    for (int i = 0; i < 3 && first_ <= last_; ++i) {
      const Edge& e = t.edges[i];
      if (e.dy == 0) continue;
      const int k = e.dy > 0 ? 2 + rights++ : lefts++;
      const std::int64_t cc = (std::int64_t{first_} * kSubPixel - e.ya) * e.dx + std::int64_t{e.xa} * e.dy + e.bias;
      b[k] = std::int64_t{kSubPixel} * (e.dy > 0 ? std::int64_t{e.dy} : -std::int64_t{e.dy});
      q[k] = Quotient(cc, b[k], r[k]);
      sq[k] = Quotient(std::int64_t{kSubPixel} * e.dx, b[k], sr[k]);
    }
    // A side without a sloped edge (a degenerate triangle, or rows that are
    // trimmed away) bounds nothing; the scissor still does.
    for (int k : {0, 2})
      if ((k == 0 ? lefts : rights) == 0) {
        q[k] = kFar;
        r[k] = sq[k] = sr[k] = 0;
        b[k] = 1;
      }
    for (int k : {0, 2})
      if ((k == 0 ? lefts : rights) < 2) {
        q[k + 1] = q[k];
        r[k + 1] = r[k];
        b[k + 1] = b[k];
        sq[k + 1] = sq[k];
        sr[k + 1] = sr[k];
      }
    q_ = Lanes(q);
    r_ = Lanes(r);
    b_ = Lanes(b);
    bLess1_ = _mm256_sub_epi64(b_, _mm256_set1_epi64x(1));
    sq_ = Lanes(sq);
    sr_ = Lanes(sr);
  }
  int First() const { return first_; }
  int Last() const { return last_; }
  // As RowWalker::Row.
  bool Row(int y, int cx0, int cx1, int& left, int& x0, int& x1, Interp& p) {
    const __m256i q = q_;
    r_ = _mm256_add_epi64(r_, sr_);
    const __m256i carry = _mm256_cmpgt_epi64(r_, bLess1_);  // r >= b: all ones
    r_ = _mm256_sub_epi64(r_, _mm256_and_si256(b_, carry));
    q_ = _mm256_sub_epi64(_mm256_add_epi64(q_, sq_), carry);
    // The smaller of each pair: lane 0 for the left edges, lane 2 for the right.
    const __m256i swapped = _mm256_shuffle_epi32(q, _MM_SHUFFLE(1, 0, 3, 2));
    const __m256i least = _mm256_blendv_epi8(q, swapped, _mm256_cmpgt_epi64(q, swapped));
#if defined(__x86_64__)
    std::int64_t lo = -_mm_cvtsi128_si64(_mm256_castsi256_si128(least));
    std::int64_t hi = _mm_cvtsi128_si64(_mm256_extracti128_si256(least, 1));
#else  // no 64-bit moves out of a vector register
    alignas(32) std::int64_t bounds[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(bounds), least);
    std::int64_t lo = -bounds[0], hi = bounds[2];
#endif
    const std::int64_t sx0 = t_.context->scissorX0, sx1 = t_.context->scissorX1;
    lo = lo > sx0 ? lo : sx0;
    hi = hi < sx1 ? hi : sx1;
    if (lo > hi) return false;
    x0 = static_cast<int>(lo > cx0 ? lo : cx0);
    x1 = static_cast<int>(hi < cx1 ? hi : cx1);
    if (x0 > x1) return false;
    left = static_cast<int>(lo);
    // a + ox dx + oy dy per interpolant, in RowWalker's order.
    const __m256 vox = _mm256_set1_ps(static_cast<float>(lo) - t_.x0);
    const __m256 voy = _mm256_set1_ps(static_cast<float>(y) - t_.y0);
    const __m256 a = _mm256_loadu_ps(reinterpret_cast<const float*>(&t_.p0));
    const __m256 dx = _mm256_loadu_ps(reinterpret_cast<const float*>(&t_.ddx));
    const __m256 dy = _mm256_loadu_ps(reinterpret_cast<const float*>(&t_.ddy));
    _mm256_storeu_ps(reinterpret_cast<float*>(&p),
                     _mm256_add_ps(_mm256_add_ps(a, _mm256_mul_ps(vox, dx)), _mm256_mul_ps(voy, dy)));
    return true;
  }

 private:
  // FloorDiv, with the estimate floored rather than truncated: truncation
  // is one too high for half the negative quotients, and the correction
  // that follows was a branch the processor could not predict. Below 2^53
  // (positions are pinned far inside) a quotient's rounding can never
  // cross a whole number, so the floored estimate is exact and the
  // correction here is never taken; it stays as FloorDiv's guard.
  static std::int64_t Quotient(std::int64_t a, std::int64_t b, std::int64_t& rem) {
#if defined(__x86_64__)
    const __m128d x = _mm_div_sd(_mm_cvtsi64_sd(_mm_setzero_pd(), a), _mm_cvtsi64_sd(_mm_setzero_pd(), b));
    std::int64_t q = _mm_cvttsd_si64(_mm_floor_sd(x, x));
    std::int64_t r = a - q * b;
    if (r < 0) {
      --q;
      r += b;
    } else if (r >= b) {
      ++q;
      r -= b;
    }
    rem = r;
    return q;
#else
    return FloorDiv(a, b, rem);
#endif
  }

  // Four values just stored one by one, into a register lane by lane: one
  // load of all four would wait for the stores to leave the core.
  static __m256i Lanes(const std::int64_t* v) {
#if defined(__x86_64__)
    const __m128i lo = _mm_insert_epi64(_mm_cvtsi64_si128(v[0]), v[1], 1);
    const __m128i hi = _mm_insert_epi64(_mm_cvtsi64_si128(v[2]), v[3], 1);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
#else
    return _mm256_set_epi64x(v[3], v[2], v[1], v[0]);
#endif
  }

  // Beyond any pinned screen position, and far from overflowing.
  static constexpr std::int64_t kFar = std::int64_t{1} << 40;

  // E = A y + B on row y with A = 16 dx: rows from -floor(B / A) on for
  // dx > 0, up to floor(B / -A) for dx < 0; none or all when dx is 0.
  void TrimRows(const Edge& e) {
    const std::int64_t a = std::int64_t{kSubPixel} * e.dx, b = -std::int64_t{e.ya} * e.dx + e.bias;
    std::int64_t rem;
    if (a > 0) {
      const std::int64_t from = -Quotient(b, a, rem);
      if (from > first_) first_ = from > last_ ? last_ + 1 : static_cast<int>(from);
    } else if (a < 0) {
      const std::int64_t to = Quotient(b, -a, rem);
      if (to < last_) last_ = to < first_ ? first_ - 1 : static_cast<int>(to);
    } else if (b < 0) {
      last_ = first_ - 1;
    }
  }

  const TriangleSetup& t_;
  int first_, last_;
  __m256i q_, r_, b_, bLess1_, sq_, sr_;
};
