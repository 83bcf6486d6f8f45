// The engine's triangles, filled a SIMD group of pixels at a time: one
// algorithm over a lane-width type L (FillSse2.cpp: four pixels, FillAvx2.cpp:
// eight), included by each inside its own anonymous namespace and under the
// instruction set it is compiled for. The rows are walked here, so that what
// is fixed for the draw is set up once per triangle rather than once per row.
//
// The state: a wrapped power-of-two texture, bilinear, modulated by the
// diffuse colour in colour and alpha, 16-bit depth tested LESSEQUAL and
// written, and the template's fog, blending (SRCALPHA / INVSRCALPHA), alpha
// test (GREATEREQUAL) and dither. Groups start at multiples of the lane
// count and mask the pixels outside the row's span, so a pixel's arithmetic
// is the same wherever a piece's columns cut the span, and the same for every L.
//
// L holds, for its width: F (a float per pixel), I (a 32-bit integer per
// pixel, or a pixel's four 16-bit channels B G R A in the order its unpacking
// leaves them; packing the low and high halves back puts the pixels in
// order again) and Packed (a 16-bit value per pixel, in order, as stored).
// Its operations are named for what they do to each lane.

// The group's pixels in memory. Where L can mask a load and a store
// (L::kMasked), lanes past the target's right edge are neither read nor
// written; otherwise the group works on a copy of the lanes inside the row,
// so it never reads or writes outside it either. Masked-off lanes read as 0
// both ways.
template <class L, bool kMasked = L::kMasked>
struct GroupMemory {
  static constexpr int kLanes = L::kCount;
  std::uint16_t* colour;
  std::uint16_t* depth;
  std::uint16_t colourCopy[kLanes], depthCopy[kLanes];
  int valid;  // lanes inside the row
  GroupMemory(std::uint16_t* colourRow, std::uint16_t* depthRow, int x, int width) {
    valid = width - x < kLanes ? width - x : kLanes;
    if (valid == kLanes) {
      colour = colourRow + x;
      depth = depthRow + x;
    } else {
      std::memset(colourCopy, 0, sizeof colourCopy);
      std::memset(depthCopy, 0, sizeof depthCopy);
      std::memcpy(colourCopy, colourRow + x, static_cast<std::size_t>(valid) * 2);
      std::memcpy(depthCopy, depthRow + x, static_cast<std::size_t>(valid) * 2);
      colour = colourCopy;
      depth = depthCopy;
    }
  }
  typename L::Packed LoadDepth() const { return L::Load(depth); }
  typename L::Packed LoadColour() const { return L::Load(colour); }
  void StoreDepth(typename L::Packed v) { L::Store(depth, v); }
  void StoreColourWhere(typename L::I pass, typename L::Packed v) {
    L::Store(colour, L::SelectPacked(L::NarrowMask(pass), v, LoadColour()));
  }
  void WriteBack(std::uint16_t* colourRow, std::uint16_t* depthRow, int x) const {
    if (valid == kLanes) return;
    std::memcpy(colourRow + x, colourCopy, static_cast<std::size_t>(valid) * 2);
    std::memcpy(depthRow + x, depthCopy, static_cast<std::size_t>(valid) * 2);
  }
};

template <class L>
struct GroupMemory<L, true> {
  std::uint16_t* colour;
  std::uint16_t* depth;
  typename L::Mask inside;
  GroupMemory(std::uint16_t* colourRow, std::uint16_t* depthRow, int x, int width)
      : colour(colourRow + x), depth(depthRow + x), inside(L::FirstLanes(width - x)) {}
  typename L::Packed LoadDepth() const { return L::LoadMasked(depth, inside); }
  typename L::Packed LoadColour() const { return L::LoadMasked(colour, inside); }
  void StoreDepth(typename L::Packed v) { L::StoreMasked(depth, inside, v); }
  // Only where the pixels pass: what was there need not be read.
  void StoreColourWhere(typename L::I pass, typename L::Packed v) { L::StoreMasked(colour, inside & L::MaskOf(pass), v); }
  void WriteBack(std::uint16_t*, std::uint16_t*, int) const {}
};

// A value per pixel -> that value in each of the pixel's four 16-bit lanes.
template <class L>
inline void Spread(typename L::I f, typename L::I& lo, typename L::I& hi) {
  typename L::I f16 = L::PackS32(f, f);
  typename L::I dd = L::Unpack16Lo(f16, f16);
  lo = L::Unpack32Lo(dd, dd);
  hi = L::Unpack32Hi(dd, dd);
}

// Channels as 32-bit lanes -> B G R A 16-bit lanes.
template <class L>
inline void Channels(typename L::I b, typename L::I g, typename L::I r, typename L::I a, typename L::I& lo,
                     typename L::I& hi) {
  typename L::I t0 = L::Unpack16Lo(L::PackS32(b, b), L::PackS32(g, g));
  typename L::I t1 = L::Unpack16Lo(L::PackS32(r, r), L::PackS32(a, a));
  lo = L::Unpack32Lo(t0, t1);
  hi = L::Unpack32Hi(t0, t1);
}

template <class L>
inline typename L::I Lerp(typename L::I a, typename L::I b, typename L::I w) {  // (a (256 - w) + b w) >> 8
  typename L::I iw = L::Sub16(L::Set16(256), w);
  return L::Srl16(L::Add16(L::Mul16(a, iw), L::Mul16(b, w)), 8);
}

template <class L>
inline typename L::I Div255(typename L::I t) {  // t + 128 must fit 16 bits
  t = L::Add16(t, L::Set16(128));
  return L::Srl16(L::Add16(t, L::Srl16(t, 8)), 8);
}

template <class L>
inline typename L::I ByteOf(typename L::F v) {
  return L::Truncate(L::Add(L::Min(L::Max(v, L::Set(0.0f)), L::Set(255.0f)), L::Set(0.5f)));
}

template <class L>
inline typename L::F At(float base, float step, typename L::F k) {  // base + step k
  return L::Add(L::Set(base), L::Mul(L::Set(step), k));
}

// Lane k of a group is column k mod 4 of the 4 x 4 dither pattern: one pair
// of channel lanes per row phase. The same for every draw: made once.
template <class L>
struct DitherLanes {
  typename L::I lo[4], hi[4];
  DitherLanes() {
    for (int phase = 0; phase < 4; ++phase) {
      short r[4], g[4];
      for (int k = 0; k < 4; ++k) {
        r[k] = static_cast<short>(kBayer[phase][k] >> 1);
        g[k] = static_cast<short>(kBayer[phase][k] >> 2);
      }
      lo[phase] = L::Repeat(0, r[1], g[1], r[1], 0, r[0], g[0], r[0]);
      hi[phase] = L::Repeat(0, r[3], g[3], r[3], 0, r[2], g[2], r[2]);
    }
  }
};

template <class L>
const DitherLanes<L>& Dither() {
  static const DitherLanes<L> lanes;
  return lanes;
}

// What stays fixed for a triangle.
template <class L>
struct FillConstants {
  using I = typename L::I;
  using F = typename L::F;
  I maskW, maskH;
  __m128i shiftW;
  int texels;  // in the texture, its extra column included
  F scaleU, scaleV, wNear, wScale, depthMax, fogScale;
  I fogColour, refMinus1;
  const DitherLanes<L>& dither = Dither<L>();
  // A face of one colour along its rows (flat-lit) modulates by constant
  // lanes; `fixed` when the colour is also the same down the rows, which
  // leaves the first vertex's colour on every row (its value plus steps of
  // zero), and the lanes are made once here.
  bool flat, fixed = false, white = false;
  I flatLanes = L::Set32(0);
  int depthFloor;  // DepthFloor over the triangle's part the engine fills

  FillConstants(const DrawContext& c, const Shading& sh, const Interp& p0, const Interp& d, const Interp& dy, int floor)
      : depthFloor(floor) {
    maskW = L::Set32(c.texW - 1);
    texels = c.texStride * c.texH;
    maskH = L::Set32(c.texH - 1);
    shiftW = _mm_cvtsi32_si128(c.texShift);
    scaleU = L::Set(static_cast<float>(c.texW * 256));
    scaleV = L::Set(static_cast<float>(c.texH * 256));
    wNear = L::Set(c.wNear);
    wScale = L::Set(c.wScale);
    depthMax = L::Set(c.depthMax);
    fogScale = L::Set(sh.fogScale);
    const auto fogR = static_cast<short>(sh.fogR), fogG = static_cast<short>(sh.fogG), fogB = static_cast<short>(sh.fogB);
    fogColour = L::Repeat(0, fogR, fogG, fogB, 0, fogR, fogG, fogB);
    refMinus1 = L::Set16(static_cast<short>(c.alphaRef - 1));
    flat = d.r == 0.0f && d.g == 0.0f && d.b == 0.0f && d.a == 0.0f;
    if (flat && dy.r == 0.0f && dy.g == 0.0f && dy.b == 0.0f && dy.a == 0.0f) {
      fixed = true;
      ColourLanes(p0, white, flatLanes);
    }
  }

  // The lanes of a flat row's colour, and whether it is opaque white.
  static void ColourLanes(const Interp& p, bool& isWhite, I& lanes) {
    const int fr = ClampByte(p.r), fg = ClampByte(p.g), fb = ClampByte(p.b), fa = ClampByte(p.a);
    isWhite = fr == 255 && fg == 255 && fb == 255 && fa == 255;
    const auto sa = static_cast<short>(fa), sr = static_cast<short>(fr), sg = static_cast<short>(fg), sb = static_cast<short>(fb);
    lanes = L::Repeat(sa, sr, sg, sb, sa, sr, sg, sb);
  }
};

// The bilinear texel of each pixel at (u, v), as channel lanes.
template <class L>
inline void SampleBilinear(const DrawContext& c, const FillConstants<L>& fc, typename L::F u, typename L::F v,
                           typename L::I& cLo, typename L::I& cHi) {
  using I = typename L::I;
  const typename L::F c128f = L::Set(128.0f), c65536f = L::Set(65536.0f);
  const I c65536 = L::Set32(65536), c255 = L::Set32(255), zero = L::Set32(0);
  I iu = L::Sub32(L::Truncate(L::Add(L::Sub(L::Mul(u, fc.scaleU), c128f), c65536f)), c65536);
  I iv = L::Sub32(L::Truncate(L::Add(L::Sub(L::Mul(v, fc.scaleV), c128f), c65536f)), c65536);
  I tu = L::Sra32(iu, 8), tv = L::Sra32(iv, 8);
  // Rows are width + 1 texels, the last a copy of the first: the right
  // neighbour of every texel is the next one in memory, so each row of the
  // 2 x 2 footprint is one 8-byte load.
  I xa = L::And(tu, fc.maskW);
  I ra = L::And(tv, fc.maskH), rb = L::And(L::Add32(tv, L::Set32(1)), fc.maskH);
  ra = L::Add32(L::Sll32By(ra, fc.shiftW), ra);
  rb = L::Add32(L::Sll32By(rb, fc.shiftW), rb);
  I t00, t10, t01, t11;
  L::Pairs(c.texels, fc.texels, c.texStride, L::Add32(ra, xa), t00, t10);
  L::Pairs(c.texels, fc.texels, c.texStride, L::Add32(rb, xa), t01, t11);
  I fxLo, fxHi, fyLo, fyHi;
  Spread<L>(L::And(iu, c255), fxLo, fxHi);
  Spread<L>(L::And(iv, c255), fyLo, fyHi);
  I topLo = Lerp<L>(L::Unpack8Lo(t00, zero), L::Unpack8Lo(t10, zero), fxLo);
  I topHi = Lerp<L>(L::Unpack8Hi(t00, zero), L::Unpack8Hi(t10, zero), fxHi);
  I botLo = Lerp<L>(L::Unpack8Lo(t01, zero), L::Unpack8Lo(t11, zero), fxLo);
  I botHi = Lerp<L>(L::Unpack8Hi(t01, zero), L::Unpack8Hi(t11, zero), fxHi);
  cLo = Lerp<L>(topLo, botLo, fyLo);
  cHi = Lerp<L>(topHi, botHi, fyHi);
}

// The fog colour over each pixel by the table's weight at its distance;
// alpha stays.
template <class L>
inline void ApplyFog(const Shading& sh, const FillConstants<L>& fc, typename L::F dist, typename L::I& cLo,
                     typename L::I& cHi) {
  using I = typename L::I;
  const I c256 = L::Set16(256), c128 = L::Set16(128);
  const I alphaLanes = L::Repeat(-1, 0, 0, 0, -1, 0, 0, 0);
  I fi = L::Truncate(L::Min(L::Max(L::Mul(dist, fc.fogScale), L::Set(0.0f)), L::Set(static_cast<float>(kFogTable - 1))));
  I fLo, fHi;
  Spread<L>(L::Gather(sh.fogTable, kFogTable, fi), fLo, fHi);
  fLo = L::Select(alphaLanes, c256, fLo);
  fHi = L::Select(alphaLanes, c256, fHi);
  cLo = L::Srl16(L::Add16(L::Add16(L::Mul16(cLo, fLo), L::Mul16(fc.fogColour, L::Sub16(c256, fLo))), c128), 8);
  cHi = L::Srl16(L::Add16(L::Add16(L::Mul16(cHi, fHi), L::Mul16(fc.fogColour, L::Sub16(c256, fHi))), c128), 8);
}

// SRCALPHA / INVSRCALPHA over the 5-6-5 pixels `old`, unless every pixel is
// opaque.
template <class L>
inline void BlendOver(typename L::Packed old, typename L::I aLo, typename L::I aHi, typename L::I& cLo,
                      typename L::I& cHi) {
  using I = typename L::I;
  const I c255 = L::Set16(255);
  if (L::All(L::And(L::Equal16(aLo, c255), L::Equal16(aHi, c255)))) return;
  I d32 = L::Widen(old);
  I r5 = L::And(L::Srl32(d32, 11), L::Set32(31));
  I g6 = L::And(L::Srl32(d32, 5), L::Set32(63));
  I b5 = L::And(d32, L::Set32(31));
  I r8 = L::Or(L::Sll32(r5, 3), L::Srl32(r5, 2));
  I g8 = L::Or(L::Sll32(g6, 2), L::Srl32(g6, 4));
  I b8 = L::Or(L::Sll32(b5, 3), L::Srl32(b5, 2));
  I dstLo, dstHi;
  Channels<L>(b8, g8, r8, L::Set32(0), dstLo, dstHi);
  cLo = Div255<L>(L::Add16(L::Mul16(cLo, aLo), L::Mul16(dstLo, L::Sub16(c255, aLo))));
  cHi = Div255<L>(L::Add16(L::Mul16(cHi, aHi), L::Mul16(dstHi, L::Sub16(c255, aHi))));
}

// Channel lanes -> 5-6-5 pixels, in order.
template <class L>
inline typename L::Packed To565(typename L::I cLo, typename L::I cHi) {
  typename L::I px = L::PackU16(cLo, cHi);
  typename L::I v565 = L::Or(L::Or(L::And(L::Srl32(px, 8), L::Set32(0xF800)), L::And(L::Srl32(px, 5), L::Set32(0x07E0))),
                             L::And(L::Srl32(px, 3), L::Set32(0x001F)));
  return L::Narrow(v565);
}

// The pixels of one row's span x0..x1 (p at column `left`).
template <class L, bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
inline void FillRow(const TriangleSetup& t, const FillConstants<L>& fc, int y, int left, int x0, int x1, const Interp& p) {
  using I = typename L::I;
  using F = typename L::F;
  const DrawContext& c = *t.context;
  const Interp& d = t.ddx;
  auto* row = reinterpret_cast<std::uint16_t*>(c.colour + static_cast<std::ptrdiff_t>(y) * c.colourPitch);
  auto* depthRow = reinterpret_cast<std::uint16_t*>(c.depth + static_cast<std::ptrdiff_t>(y) * c.depthPitch);
  const I ditherL = fc.dither.lo[y & 3], ditherH = fc.dither.hi[y & 3];
  // A flat face's colour, once per row (a shaded one's is per pixel); white
  // needs no modulation at all (texel x 255 / 255 is the texel).
  bool white = fc.white;
  I flatLanes = fc.flatLanes;
  if (fc.flat && !fc.fixed) FillConstants<L>::ColourLanes(p, white, flatLanes);
  const I first = L::Set32(x0 - 1), last = L::Set32(x1 + 1), leftI = L::Set32(left);
  const F one = L::Set(1.0f), zero = L::Set(0.0f);
  const I c255 = L::Set16(255);
  const bool useW = c.useW;  // a local: the group's stores could alias the context
  const bool cull = fc.depthFloor > 0;
  for (int xg = x0 & ~(L::kCount - 1); xg <= x1; xg += L::kCount) {
    GroupMemory<L> mem(row, depthRow, xg, c.targetWidth);
    if (cull && L::Highest(mem.LoadDepth()) < fc.depthFloor) continue;  // hidden: nothing drawn
    const I lane = L::Add32(L::Set32(xg), L::LaneIndex());
    const I covered = L::And(L::Greater32(lane, first), L::Greater32(last, lane));
    const F k = L::ToFloat(L::Sub32(lane, leftI));
    F w = L::Div(one, At<L>(p.iw, d.iw, k));
    F z = At<L>(p.z, d.z, k);
    F depthZ = useW ? L::Mul(L::Sub(w, fc.wNear), fc.wScale) : z;
    depthZ = L::Min(L::Max(depthZ, zero), one);
    I depth = L::Truncate(L::Add(L::Mul(depthZ, fc.depthMax), L::Set(0.5f)));
    I stored = L::Widen(mem.LoadDepth());
    I pass = L::AndNot(L::Greater32(depth, stored), covered);
    if (L::None(pass)) continue;

    I cLo, cHi;
    SampleBilinear<L>(c, fc, L::Mul(At<L>(p.uw, d.uw, k), w), L::Mul(At<L>(p.vw, d.vw, k), w), cLo, cHi);
    if (!fc.flat) {
      I dLo, dHi;
      Channels<L>(ByteOf<L>(At<L>(p.b, d.b, k)), ByteOf<L>(At<L>(p.g, d.g, k)), ByteOf<L>(At<L>(p.r, d.r, k)),
                  ByteOf<L>(At<L>(p.a, d.a, k)), dLo, dHi);
      cLo = Div255<L>(L::Mul16(cLo, dLo));
      cHi = Div255<L>(L::Mul16(cHi, dHi));
    } else if (!white) {
      cLo = Div255<L>(L::Mul16(cLo, flatLanes));
      cHi = Div255<L>(L::Mul16(cHi, flatLanes));
    }
    const I aLo = L::AlphaToAll(cLo), aHi = L::AlphaToAll(cHi);
    if constexpr (kAlphaTest) {
      // Packing the halves puts each pixel's four lanes back into its 32-bit lane.
      pass = L::And(pass, L::PackS16(L::Greater16(aLo, fc.refMinus1), L::Greater16(aHi, fc.refMinus1)));
      if (L::None(pass)) continue;
    }
    mem.StoreDepth(L::Narrow(L::Select(pass, depth, stored)));
    if constexpr (kFog) ApplyFog<L>(*c.shading, fc, c.fogFromW ? w : z, cLo, cHi);
    if constexpr (kBlend) BlendOver<L>(mem.LoadColour(), aLo, aHi, cLo, cHi);
    if constexpr (kDither) {
      cLo = L::Min16(L::Add16(cLo, ditherL), c255);
      cHi = L::Min16(L::Add16(cHi, ditherH), c255);
    }
    mem.StoreColourWhere(pass, To565<L>(cLo, cHi));
    mem.WriteBack(row, depthRow, xg);
  }
}

constexpr int kRowsAhead = 2;

// Asks for the cache lines of row y's depth and colour from x0 to x1.
inline void PrefetchRow(const DrawContext& c, int y, int x0, int x1) {
  const std::uintptr_t colour = reinterpret_cast<std::uintptr_t>(c.colour) + static_cast<std::uintptr_t>(y) * c.colourPitch;
  const std::uintptr_t depth = reinterpret_cast<std::uintptr_t>(c.depth) + static_cast<std::uintptr_t>(y) * c.depthPitch;
  for (int x = x0 & ~31; x <= x1; x += 32) {
    _mm_prefetch(reinterpret_cast<const char*>(colour + 2 * static_cast<std::uintptr_t>(x)), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(depth + 2 * static_cast<std::uintptr_t>(x)), _MM_HINT_T0);
  }
}

template <class L, bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
void FillEngine(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  const FillConstants<L> fc(*t.context, *t.context->shading, t.p0, t.ddx, t.ddy, DepthFloor(t, cx0, cy0, cx1, cy1));
  typename L::Rows rows(t, cy0, cy1);
  int left, x0, x1;
  Interp p;
  const DrawContext& c = *t.context;
  for (int y = rows.First(); y <= rows.Last(); ++y)
    if (rows.Row(y, cx0, cx1, left, x0, x1, p)) {
      // The depth and colour a few rows down, while this one fills: a small
      // triangle's rows are seldom in the cache, and which ones it needs is
      // nothing a processor's own prefetching can guess (it does guess the
      // long rows of a wide one).
      if (x1 - x0 < kWideFill && y + kRowsAhead <= rows.Last()) PrefetchRow(c, y + kRowsAhead, x0, x1);
      FillRow<L, kFog, kBlend, kAlphaTest, kDither>(t, fc, y, left, x0, x1, p);
    }
}

template <class L>
struct FillInstance {
  template <bool kFog, bool kBlend, bool kAlphaTest, bool kDither>
  static FillFn Get() {
    return &FillEngine<L, kFog, kBlend, kAlphaTest, kDither>;
  }
};
