// The frame-rate window and its 12-byte text, on a scripted clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/app/FrameRate.h"
#include "tests/common/TestMachine.h"

namespace {

std::string Text(float rate) {
  char text[kFrameRateText];
  std::memset(text, 'x', sizeof text);
  FormatFrameRate(rate, text);
  return text;
}

TEST(FrameRate, SixtyFramesClosingAfter1016MsShow5906AndTheRateHoldsBetweenWindows) {
  tarn::test::RecordingHost host;
  tarn::win32::SetHost(&host);
  FrameRateState s;
  s.lastTick = 5000;
  // 59 frames inside the window, however long each takes, change nothing.
  for (int i = 1; i < 60; ++i) {
    host.ticks = {static_cast<DWORD>(5000 + i * 16)};
    EXPECT_EQ(AdvanceFrameRate(s.framesPerSecond, s.frameCount, s.lastTick), 0.0f);
  }
  host.ticks = {5000 + 1016, 5000 + 1017};
  const float rate = AdvanceFrameRate(s.framesPerSecond, s.frameCount, s.lastTick);
  EXPECT_EQ(Text(rate), "59.06");
  EXPECT_EQ(s.frameCount, 0);
  EXPECT_EQ(s.lastTick, 5000u + 1017u);  // a fresh reading opens the next window
  host.ticks = {5000 + 1017 + 1000};     // exactly 1000: the window stays open
  EXPECT_EQ(AdvanceFrameRate(s.framesPerSecond, s.frameCount, s.lastTick), rate);
  tarn::win32::SetHost(nullptr);
}

TEST(FrameRate, TheOpeningFrameClosesAWindowFromTickZeroAndTheClockMayWrap) {
  tarn::test::RecordingHost host;
  tarn::win32::SetHost(&host);
  FrameRateState s;
  host.ticks = {4000, 4000};
  EXPECT_EQ(Text(AdvanceFrameRate(s.framesPerSecond, s.frameCount, s.lastTick)), "0.25");
  // The tick counter wraps at 2^32: elapsed stays small and positive.
  s.lastTick = 0xFFFFFF00u;
  host.ticks = {0x00000400u, 0x00000400u};
  s.frameCount = 9;
  const float rate = AdvanceFrameRate(s.framesPerSecond, s.frameCount, s.lastTick);
  EXPECT_NEAR(rate, 10 * 1000.0 / (0x400 + 0x100), 1e-3);
  tarn::win32::SetHost(nullptr);
}

TEST(FrameRate, RatesThatDoNotFitAreCutToTheBuffer) {
  EXPECT_EQ(Text(99999992.0f), "99999992.00");
  EXPECT_EQ(Text(100000000.0f), "100000000.0");
  EXPECT_EQ(Text(3.0e38f).size(), kFrameRateText - 1);
  EXPECT_EQ(Text(INFINITY), "inf");
  EXPECT_EQ(Text(-1.5f), "-1.50");
}

}  // namespace
