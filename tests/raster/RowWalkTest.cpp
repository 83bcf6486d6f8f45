// The vector row walk against the scalar one: the same rows, spans and
// interpolants for hostile triangles, whatever window a tile cuts.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/raster/RasterLocal.h"
#include "platform/raster/Setup.h"

namespace tarn::raster::detail {
namespace {

struct RowOut {
  int y, left, x0, x1;
  Interp p;
  bool operator==(const RowOut& o) const {
    return y == o.y && left == o.left && x0 == o.x0 && x1 == o.x1 && std::memcmp(&p, &o.p, sizeof p) == 0;
  }
};

template <class Walker>
std::vector<RowOut> Walk(Walker& rows, int cx0, int cx1) {
  // The rows with pixels: the vector walk drops rows a horizontal edge
  // fails from First() and Last(), the scalar one reports them empty.
  std::vector<RowOut> out;
  for (int y = rows.First(); y <= rows.Last(); ++y) {
    RowOut r{y, 0, 0, 0, {}};
    if (rows.Row(y, cx0, cx1, r.left, r.x0, r.x1, r.p)) out.push_back(r);
  }
  return out;
}

}  // namespace
}  // namespace tarn::raster::detail

#if defined(TARN_RASTER_AVX2)
#include <immintrin.h>
TARN_RASTER_TARGET_BEGIN("avx2")
namespace tarn::raster::detail {
namespace {
#include "platform/raster/RowWalker4.inl"

std::vector<RowOut> WalkVector(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1) {
  RowWalker4 rows(t, cy0, cy1);
  return Walk(rows, cx0, cx1);
}
}  // namespace
}  // namespace tarn::raster::detail
TARN_RASTER_TARGET_END
#endif

namespace tarn::raster::detail {
namespace {

TEST(RowWalk, TheVectorWalkFindsTheScalarWalksRowsSpansAndInterpolants) {
#if !defined(TARN_RASTER_AVX2)
  GTEST_SKIP() << "SKIPPED: this build has no AVX2 loops";
#else
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "SKIPPED: this processor has no AVX2";
  DrawContext context;
  context.scissorX0 = 0, context.scissorY0 = 0, context.scissorX1 = 1919, context.scissorY1 = 1079;
  Loops loops{};
  // Vertices in 1/16 pixel: small and huge, horizontal edges at the top and
  // the bottom, a sliver whose long edge rises 1/16 pixel over the screen,
  // positions pinned at the screen limit, spans cut by the scissor.
  const std::int64_t limit = static_cast<std::int64_t>(kScreenLimit) * kSubPixel;
  std::vector<std::array<std::int64_t, 6>> triangles = {
      {100, 100, 400, 120, 180, 380},                 // small
      {160, 160, 960, 160, 480, 800},                 // flat top
      {480, 160, 960, 800, 160, 800},                 // flat bottom
      {-limit, -limit, limit, -limit, 0, limit},      // pinned, over everything
      {0, 3000, 30000, 3001, 15000, 9000},            // sliver
      {-5000, 17000, 40000, 16992, 12000, -3000},     // crossing the scissor
      {4096, 512, 8192, 512, 4096, 1024},             // on tile edges
      {16, 16, 16, 17000, 17000, 16},                 // a right angle at the origin
  };
  std::mt19937 random(25);
  for (int i = 0; i < 300; ++i) {
    std::int64_t spread = i % 3 == 0 ? limit : i % 3 == 1 ? 40000 : 800;
    std::uniform_int_distribution<std::int64_t> at(-spread / 8, spread);
    triangles.push_back({at(random), at(random), at(random), at(random), at(random), at(random)});
  }
  // The whole scissor, a tile in the middle, a window below the first rows.
  const int windows[][4] = {{0, 0, 1919, 1079}, {256, 32, 511, 63}, {0, 400, 1919, 1079}, {1792, 1056, 1919, 1079}};
  int walked = 0, differ = 0;
  Counters counters;
  for (const auto& v : triangles) {
    ScreenVertex sv[3];
    for (int k = 0; k < 3; ++k) {
      sv[k].xi = v[2 * k];
      sv[k].yi = v[2 * k + 1];
      sv[k].x = static_cast<float>(v[2 * k]) / kSubPixel;
      sv[k].y = static_cast<float>(v[2 * k + 1]) / kSubPixel;
      sv[k].p = Interp{1.0f + k, 0.25f * k, -0.5f * k, 0.1f * k, 10.0f * k, 20.0f, 30.0f * k, 255.0f};
    }
    std::int64_t area = FacingArea(sv[0].xi, sv[0].yi, sv[1].xi, sv[1].yi, sv[2].xi, sv[2].yi, Cull::None, counters);
    TriangleSetup setup;
    if (area == 0 || !SetUpTriangle(&context, loops, area, sv[0], sv[1], sv[2], true, counters, setup)) continue;
    for (const auto& w : windows) {
      RowWalker scalar(setup, w[1], w[3]);
      const std::vector<RowOut> want = Walk(scalar, w[0], w[2]);
      walked += static_cast<int>(want.size());
      if (WalkVector(setup, w[0], w[1], w[2], w[3]) != want) {
        ++differ;
        ADD_FAILURE() << "triangle " << v[0] << "," << v[1] << " " << v[2] << "," << v[3] << " " << v[4] << ","
                      << v[5] << " in window " << w[0] << "," << w[1] << " - " << w[2] << "," << w[3];
      }
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(walked, 10000);  // the table reaches rows, not only empty windows
#endif
}

}  // namespace
}  // namespace tarn::raster::detail
