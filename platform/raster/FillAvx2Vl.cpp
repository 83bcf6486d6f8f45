// The engine's triangle fill eight pixels at a time, the AVX2 loop compiled
// for processors with AVX-512 (VL): the same operations and pixels, with
// twice the registers. Chosen at run time for triangles narrower than
// kWideFill, where sixteen lanes would mostly be masked.
#include <cstdint>
#include <cstring>

#include "platform/raster/RasterLocal.h"

#if defined(TARN_RASTER_AVX512)
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq,avx512vl")
#endif

namespace tarn::raster::detail {
namespace {

#include "platform/raster/RowWalker4.inl"

#define TARN_AVX2_LANES_VL 1
#include "platform/raster/Avx2Lanes.inl"
#undef TARN_AVX2_LANES_VL

#include "platform/raster/FillEngine.inl"

}  // namespace

FillFn PickFillAvx2Vl(bool fog, bool blend, bool alphaTest, bool dither) {
  return PickInstance<FillInstance<Avx2>>(fog, blend, alphaTest, dither);
}

}  // namespace tarn::raster::detail

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
