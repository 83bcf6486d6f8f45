// The engine's triangle fill eight pixels at a time, chosen at run time
// (FillEngine.inl holds the algorithm, Avx2Lanes.inl the lanes), compiled
// twice: for AVX2, and for processors with AVX-512, whose VL forms of the
// same operations get 32 registers and masked loads and stores (the loop
// for their triangles narrower than kWideFill, where sixteen lanes would
// mostly be masked). Only the code inside each target switch below is
// compiled for its instruction set: what the headers define inline stays
// plain code, which the linker may share with the rest of the program.
#include <cstdint>
#include <cstring>

#include "platform/raster/RasterLocal.h"

#if defined(TARN_RASTER_AVX2)
#include <immintrin.h>

TARN_RASTER_TARGET_BEGIN("avx2")

namespace tarn::raster::detail {
namespace avx2 {
namespace {
#define TARN_AVX2_LANES_VL 0
#include "platform/raster/Avx2Lanes.inl"
#undef TARN_AVX2_LANES_VL
}  // namespace
}  // namespace avx2

FillFn PickFillAvx2(bool fog, bool blend, bool alphaTest, bool dither) {
  return PickInstance<avx2::FillInstance<avx2::Avx2>>(fog, blend, alphaTest, dither);
}

}  // namespace tarn::raster::detail

TARN_RASTER_TARGET_END
#endif

#if defined(TARN_RASTER_AVX512)
TARN_RASTER_TARGET_BEGIN(TARN_RASTER_AVX512_SETS)

namespace tarn::raster::detail {
namespace vl {
namespace {
#define TARN_AVX2_LANES_VL 1
#include "platform/raster/Avx2Lanes.inl"
#undef TARN_AVX2_LANES_VL
}  // namespace
}  // namespace vl

FillFn PickFillAvx2Vl(bool fog, bool blend, bool alphaTest, bool dither) {
  return PickInstance<vl::FillInstance<vl::Avx2>>(fog, blend, alphaTest, dither);
}

}  // namespace tarn::raster::detail

TARN_RASTER_TARGET_END
#endif
