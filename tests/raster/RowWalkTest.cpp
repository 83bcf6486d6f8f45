// The vector row walk against the scalar one: the same rows, spans and
// interpolants for hostile triangles, whatever window a tile cuts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/raster/Bins.h"
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

// The fill's depth for a pixel k columns right of its row's left end.
int PixelDepth(const DrawContext& c, const Interp& p, const Interp& d, float k) {
  float depthZ = p.z + d.z * k;
  if (c.useW) depthZ = (1.0f / (p.iw + d.iw * k) - c.wNear) * c.wScale;
  depthZ = std::min(std::max(depthZ, 0.0f), 1.0f);
  return static_cast<int>(depthZ * c.depthMax + 0.5f);
}

TEST(RowWalk, TheDepthFloorLiesAtOrBelowEveryPixelsDepthAndCloseToTheLeast) {
  // Near and far, steep and flat in depth, w-buffered and z-buffered, in
  // the whole scissor and in tiles: the floor may hide no pixel the depth
  // test would pass, and it is worth having only when it is close.
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const int windows[][4] = {{0, 0, 1919, 1079}, {256, 32, 511, 63}, {768, 320, 1023, 351}};
  int floors = 0, level = 0, tight = 0;
  Counters counters;
  for (int i = 0; i < 3000; ++i) {
    DrawContext c;
    c.scissorX0 = 0, c.scissorY0 = 0, c.scissorX1 = 1919, c.scissorY1 = 1079;
    c.useW = i % 2 == 0;
    c.wNear = 1.0f;
    c.wScale = 1.0f / (i % 3 == 0 ? 99.0f : 999.0f);
    Loops loops{};
    const float spread = i % 4 == 0 ? 30000.0f : 4000.0f, depthSpread = i % 5 == 0 ? 0.0f : 1.0f;
    const float w0 = 1.0f + 500.0f * unit(random), z0 = unit(random);
    ScreenVertex sv[3];
    for (auto& v : sv) {
      v.xi = static_cast<std::int64_t>(spread * unit(random));
      v.yi = static_cast<std::int64_t>(spread * 0.56f * unit(random));
      v.x = static_cast<float>(v.xi) / kSubPixel;
      v.y = static_cast<float>(v.yi) / kSubPixel;
      const float w = w0 * (1.0f + depthSpread * unit(random));
      v.p = Interp{1.0f / w, 0, 0, std::min(z0 + depthSpread * unit(random), 1.0f), 0, 0, 0, 255.0f};
    }
    std::int64_t area = FacingArea(sv[0].xi, sv[0].yi, sv[1].xi, sv[1].yi, sv[2].xi, sv[2].yi, Cull::None, counters);
    TriangleSetup t;
    if (area == 0 || !SetUpTriangle(&c, loops, area, sv[0], sv[1], sv[2], true, counters, t)) continue;
    for (const auto& win : windows) {
      const int floor = DepthFloor(t, win[0], win[1], win[2], win[3]);
      RowWalker rows(t, win[1], win[3]);
      int least = 1 << 30;
      for (int y = rows.First(); y <= rows.Last(); ++y) {
        int left, x0, x1;
        Interp p;
        if (!rows.Row(y, win[0], win[2], left, x0, x1, p)) continue;
        for (int x = x0; x <= x1; ++x) least = std::min(least, PixelDepth(c, p, t.ddx, static_cast<float>(x - left)));
      }
      if (floor == 0) continue;
      ++floors;
      ASSERT_LE(floor, least) << "triangle " << i << " in window " << win[0] << "," << win[1];
      if (depthSpread == 0.0f) {  // level: the floor is the least less its margin
        ++level;
        tight += least - floor <= 4 ? 1 : 0;
      }
    }
  }
  EXPECT_GT(floors, 1000);
  EXPECT_GT(level, 200);
  EXPECT_GT(tight, level * 9 / 10);
}

// Bands alone go round two threads at the usual sizes; more threads get them
// cut into columns until each has eight tiles, as far as 64-pixel columns go.
TEST(Bins, EveryThreadHasTilesToShare) {
  struct Case {
    int w, h, threads, tiles, columnWidth;  // columnWidth 0: one column
  };
  const Case cases[] = {{800, 600, 2, 19, 0},   {1920, 1080, 2, 34, 0}, {800, 600, 3, 38, 512},
                        {800, 600, 16, 133, 128}, {100, 10, 64, 2, 64},  {531, 157, 7, 45, 64}};
  for (const Case& c : cases) {
    Batch b;
    b.Shape(c.w, c.h, c.threads);
    EXPECT_EQ(b.Tiles(), c.tiles) << c.w << "x" << c.h << ", " << c.threads << " threads";
    EXPECT_EQ(b.columnShift == 31 ? 0 : 1 << b.columnShift, c.columnWidth) << c.w << "x" << c.h << ", " << c.threads;
  }
}

}  // namespace
}  // namespace tarn::raster::detail
