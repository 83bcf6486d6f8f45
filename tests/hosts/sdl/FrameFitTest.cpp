// Where the frame goes on the screen, and the area-averaging shrink that must
// keep every one-pixel stroke (picking pixels drops whole columns and rows).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/hosts/sdl/FrameFit.h"

namespace {

using tarn::hosts::AreaShrinker;
using tarn::hosts::FitFrame;
using tarn::hosts::FitRect;

TEST(FitFrame, LargestCentredRectangleOfTheFramesAspect) {
  struct Case {
    int fw, fh, ow, oh;
    FitRect want;
  };
  const Case cases[] = {
      {800, 600, 1024, 768, {0, 0, 1024, 768}},      // same aspect, enlarged
      {1280, 720, 1024, 768, {0, 96, 1024, 576}},    // wider: bars above and below
      {800, 600, 1280, 720, {160, 0, 960, 720}},     // narrower: bars left and right
      {640, 480, 1280, 960, {0, 0, 1280, 960}},      // a whole factor
      {801, 600, 1024, 768, {0, 0, 1024, 767}},      // odd size: rounded, leftover to the bottom
      {16384, 1, 1024, 768, {0, 383, 1024, 1}},      // a sliver keeps one row
      {1, 16384, 1024, 768, {511, 0, 1, 768}},
      {0, 600, 1024, 768, {0, 0, 0, 0}},             // nothing to show
      {800, 600, 1024, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const FitRect got = FitFrame(c.fw, c.fh, c.ow, c.oh);
    EXPECT_EQ(got.x, c.want.x) << c.fw << "x" << c.fh << " on " << c.ow << "x" << c.oh;
    EXPECT_EQ(got.y, c.want.y) << c.fw << "x" << c.fh << " on " << c.ow << "x" << c.oh;
    EXPECT_EQ(got.width, c.want.width) << c.fw << "x" << c.fh << " on " << c.ow << "x" << c.oh;
    EXPECT_EQ(got.height, c.want.height) << c.fw << "x" << c.fh << " on " << c.ow << "x" << c.oh;
  }
}

struct Size {
  int width, height, outWidth, outHeight;
};
// The ratios a tarn.cfg larger than the display asks for (5:4 as 1280 x 720
// on 1024 x 768, 4:3, 2:1, 15:8 as 1920 x 1080 on 1024 x 768), on small
// frames so that every phase of each ratio is tried; a ratio near 1; none.
const Size kShrinks[] = {{80, 45, 64, 36}, {40, 32, 30, 24}, {32, 24, 16, 12},
                         {60, 30, 32, 16}, {1001, 7, 1000, 7}, {9, 9, 9, 9}};

int Brightness(std::uint32_t p) { return static_cast<int>((p >> 16 & 255) + (p >> 8 & 255) + (p & 255)) / 3; }

// One white source pixel among black ones (a stroke's dot): its light is
// spread, never lost. The output's total is the pixel's share of the area,
// and the brightest output pixel holds at least a quarter of its own area's
// worth (a source pixel overlaps at most two output pixels on each axis).
TEST(AreaShrinker, EveryDotSurvivesWithItsShareOfLight) {
  AreaShrinker shrinker;
  for (const Size& s : kShrinks) {
    std::vector<std::uint16_t> frame(static_cast<std::size_t>(s.width) * s.height);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(s.outWidth) * s.outHeight);
    const double share = double(s.outWidth) / s.width * s.outHeight / s.height;
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; x = x < 20 ? x + 1 : std::max(x + 1, s.width - 3)) {
        std::fill(frame.begin(), frame.end(), 0);
        frame[static_cast<std::size_t>(y) * s.width + x] = 0xFFFF;
        ASSERT_TRUE(shrinker.Shrink(frame.data(), s.width * 2, s.width, s.height, out.data(), s.outWidth, s.outHeight));
        int total = 0, brightest = 0;
        for (std::uint32_t p : out) total += Brightness(p), brightest = std::max(brightest, Brightness(p));
        EXPECT_NEAR(total, 255 * share, 4) << s.width << "->" << s.outWidth << " dot at " << x << "," << y;
        EXPECT_GE(brightest, static_cast<int>(255 * share / 4)) << s.width << "->" << s.outWidth << " dot at " << x
                                                                 << "," << y;
      }
  }
}

// A flat colour stays exactly that colour, whatever the pitch's padding holds.
TEST(AreaShrinker, FlatColourStaysFlatAndPaddingIsNotRead) {
  AreaShrinker shrinker;
  const std::uint16_t grey = 0xBDF7;  // 0xBEBEBE in 5-6-5, the frame's clear colour
  const std::uint32_t wide = 0xBDBEBD;  // its channels widened by repeating their top bits
  std::vector<Size> sizes(std::begin(kShrinks), std::end(kShrinks));
  sizes.push_back({1280, 720, 1024, 576});
  for (const Size& s : sizes) {
    const int pitch = s.width + 3;
    std::vector<std::uint16_t> frame(static_cast<std::size_t>(pitch) * s.height, 0xFFFF);
    for (int y = 0; y < s.height; ++y)
      std::fill_n(frame.begin() + static_cast<std::ptrdiff_t>(y) * pitch, s.width, grey);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(s.outWidth) * s.outHeight);
    ASSERT_TRUE(shrinker.Shrink(frame.data(), pitch * 2, s.width, s.height, out.data(), s.outWidth, s.outHeight));
    for (std::uint32_t p : out) ASSERT_EQ(p, wide) << s.width << "->" << s.outWidth;
  }
}

TEST(AreaShrinker, RefusesWhatIsNotAShrink) {
  AreaShrinker shrinker;
  std::vector<std::uint16_t> frame(64 * 64);
  std::vector<std::uint32_t> out(128 * 128, 7);
  EXPECT_FALSE(shrinker.Shrink(frame.data(), 128, 64, 64, out.data(), 65, 64));    // wider
  EXPECT_FALSE(shrinker.Shrink(frame.data(), 128, 64, 64, out.data(), 64, 0));     // empty
  EXPECT_FALSE(shrinker.Shrink(frame.data(), 126, 64, 64, out.data(), 32, 32));    // pitch shorter than a row
  EXPECT_FALSE(shrinker.Shrink(nullptr, 128, 64, 64, out.data(), 32, 32));
  for (std::uint32_t p : out) ASSERT_EQ(p, 7u);
}

}  // namespace
