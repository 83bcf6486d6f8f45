// The engine's triangle fill eight pixels at a time with AVX2, chosen at run
// time (FillEngine.inl holds the algorithm). Only the code after the target
// switch below is compiled for AVX2: what the headers define inline stays
// plain code, which the linker may share with the rest of the program.
#include <cstdint>
#include <cstring>

#include "platform/raster/RasterLocal.h"

#if defined(TARN_RASTER_AVX2)
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace tarn::raster::detail {
namespace {

#include "platform/raster/RowWalker4.inl"

#define TARN_AVX2_LANES_VL 0
#include "platform/raster/Avx2Lanes.inl"
#undef TARN_AVX2_LANES_VL

#include "platform/raster/FillEngine.inl"

}  // namespace

FillFn PickFillAvx2(bool fog, bool blend, bool alphaTest, bool dither) {
  return PickInstance<FillInstance<Avx2>>(fog, blend, alphaTest, dither);
}

}  // namespace tarn::raster::detail

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
