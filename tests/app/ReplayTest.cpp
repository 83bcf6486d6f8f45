// The engine end to end on the headless machine: WinMain, start-up, the
// frame loop, the controls, the HUD and the log, through tarnview-replay.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/common/Golden.h"
#include "tests/common/Replay.h"

using namespace tarn::test;

namespace {

class ReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.path() / "tarn.cfg", "Screen 800 600\n");
    WriteFile(dir.path() / "exam.map", "End\n");
  }
  RunResult Run(const std::string& script, const std::string& more = "") {
    WriteFile(dir.path() / "script.txt", script);
    return RunReplay(dir.path(), "--input script.txt --clock virtual " + more);
  }
  // Pixels of the square cell at (x, y) that are white text on the grey clear.
  static int WhitePixels(const Picture& p, int x0, int y0, int size) {
    int n = 0;
    for (int y = y0; y < y0 + size && y < p.height; ++y)
      for (int x = x0; x < x0 + size && x < p.width; ++x)
        if (p.At(x, y)[0] > 240 && p.At(x, y)[1] > 240 && p.At(x, y)[2] > 240) ++n;
    return n;
  }
  TempWorkDir dir;  // also makes it the current directory; the runs cd there
};

TEST_F(ReplayTest, ReportLinesAndFramesOnTheVirtualClock) {
  RunResult r = RunReplay(dir.path(), "--frames 60 --clock virtual:16");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "frames 60\nseconds 0.960\nfps 62.50\ncamera 0.0000 1.0000 0.0000\n");
  // --frames wins over the script's length.
  RunResult shorter = Run("0-99 W\n", "--frames 3");
  ASSERT_EQ(shorter.status, 0);
  EXPECT_NE(shorter.out.find("frames 3\n"), std::string::npos);
  EXPECT_NE(shorter.out.find("camera 0.0000 1.0000 0.3000\n"), std::string::npos);
}

TEST_F(ReplayTest, EscapeEndsTheRunAfterItsFrameIsPresented) {
  RunResult r = Run("0 W\n1 W Escape\n", "--frames 50 --shot last.png");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("frames 2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("camera 0.0000 1.0000 0.2000\n"), std::string::npos) << r.out;
  Picture p;
  ASSERT_TRUE(ReadPng(dir.path() / "last.png", p));
  EXPECT_EQ(p.width, 800);
  EXPECT_EQ(p.height, 600);
}

TEST_F(ReplayTest, StatusGlyphsAtTheirPlacesAndTheCentreOfAnOddWidth) {
  WriteFile(dir.path() / "tarn.cfg", "Screen 801 600\n");
  RunResult up = Run("0 W\n", "--shot up.png");
  ASSERT_EQ(up.status, 0) << up.err;
  RunResult held = Run("0 lmb\n", "--shot held.png");
  ASSERT_EQ(held.status, 0) << held.err;
  Picture a, b;
  ASSERT_TRUE(ReadPng(dir.path() / "up.png", a));
  ASSERT_TRUE(ReadPng(dir.path() / "held.png", b));
  ASSERT_EQ(a.width, 801);
  // Glyphs are drawn at (30, 100) and at (400, 300), 16 pixels square.
  EXPECT_GT(WhitePixels(a, 30, 100, 16), 10);
  EXPECT_GT(WhitePixels(a, 400, 300, 16), 10);
  EXPECT_EQ(WhitePixels(a, 0, 100, 30), 0);     // nothing left of the status glyph
  EXPECT_EQ(WhitePixels(a, 384, 284, 16), 0);   // nothing above-left of the mark
  // A filled circle has more ink than an open one.
  EXPECT_GT(WhitePixels(b, 30, 100, 16), WhitePixels(a, 30, 100, 16));
  // The two centre marks differ.
  int differ = 0;
  for (int y = 300; y < 316; ++y)
    for (int x = 400; x < 416; ++x) differ += a.At(x, y)[0] != b.At(x, y)[0];
  EXPECT_GT(differ, 0);
}

TEST_F(ReplayTest, HudMatchesItsGoldenPicture) {
  // 70 frames: the rate text has closed a window. Backwards and to the left,
  // so that the position's line shows negative numbers.
  RunResult r = Run("0-69 S A\n", "--shot hud.png");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::filesystem::path golden = dir.previous() / "tests/app/golden/hud.png";
  if (tarn::test::UpdatingGolden()) {
    std::filesystem::create_directories(golden.parent_path());
    std::filesystem::copy_file(dir.path() / "hud.png", golden, std::filesystem::copy_options::overwrite_existing);
    FAIL() << golden << tarn::test::kGoldenWritten;
  }
  Picture got, want;
  ASSERT_TRUE(ReadPng(dir.path() / "hud.png", got));
  ASSERT_TRUE(ReadPng(golden, want)) << "no golden picture; run with TARN_UPDATE_GOLDEN=1 and review it";
  ASSERT_EQ(got.width, want.width);
  ASSERT_EQ(got.height, want.height);
  // Only the HUD block is compared: it lies within 200 x 100, above the
  // status glyph at (30, 100).
  int differ = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      for (int c = 0; c < 3; ++c) differ += got.At(x, y)[c] != want.At(x, y)[c];
  EXPECT_EQ(differ, 0);
  EXPECT_GT(WhitePixels(got, 3, 3, 16), 10);  // "Screen :" is there at all
}

TEST_F(ReplayTest, TwoRunsAppendToOneLog) {
  ASSERT_EQ(RunReplay(dir.path(), "").status, 0);
  ASSERT_EQ(RunReplay(dir.path(), "").status, 0);
  const std::string log = ReadFile(dir.path() / "Tarn.log");
  int starts = 0;
  for (std::size_t at = log.find("Succed: DrawCreate\n"); at != std::string::npos;
       at = log.find("Succed: DrawCreate\n", at + 1))
    ++starts;
  EXPECT_EQ(starts, 2);
  std::size_t lineStart = 0;
  while (lineStart < log.size()) {
    const std::string line = log.substr(lineStart, log.find('\n', lineStart) - lineStart);
    EXPECT_TRUE(line.rfind("Succed: ", 0) == 0 || line.rfind("Error: ", 0) == 0) << line;
    lineStart = log.find('\n', lineStart) + 1;
    if (lineStart == 0) break;
  }
}

TEST_F(ReplayTest, BadCommandLinesAndScriptsFailWithAMessage) {
  RunResult r = RunReplay(dir.path(), "--frames -1");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("--frames"), std::string::npos);
  r = Run("0 Jump\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("line 1"), std::string::npos);
  r = RunReplay(dir.path(), "--input no-such-script.txt");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("no-such-script.txt"), std::string::npos);
  r = RunReplay(dir.path(), "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: tarnview-replay"), std::string::npos);
}

}  // namespace

namespace {

// A world of one model file and a two-entry texture list, for the stats.
class StatsTest : public ReplayTest {};

}  // namespace

TEST_F(StatsTest, StatsComeBeforeTheFirstFrameAndFramesZeroEndsThere) {
  std::filesystem::create_directories(dir.path() / "Model");
  WriteFile(dir.path() / "exam.map", "TextureFile t.lst\nFloorMap f.txt\nEnd\n");
  WriteFile(dir.path() / "t.lst", "Count 2\nBitmap 1 missing.bmp\nEnd\n");
  WriteFile(dir.path() / "f.txt", "NumObject 1\nEnd\n");
  WriteFile(dir.path() / "Model" / "0.t3m",
            "0.t3m\nPos 1.5 2 3\nNumVertex 3\nNumFace 1\nVERTEX 0 0 0 0\nVERTEX 1 1 0 0\nVERTEX 2 0 1 0\n"
            "FACE 0 0 1 2\nMatID 1\nEnd\n");
  RunResult zero = RunReplay(dir.path(), "--stats --frames 0");
  ASSERT_EQ(zero.status, 0) << zero.err;
  EXPECT_EQ(zero.out.rfind("object 0 kind 1 vertices 3 material 1 ref 1.5000 2.0000 3.0000\ntextures 2\n"
                           "texture 0 none\ntexture 1 none\n",
                           0),
            0u)
      << zero.out;
  EXPECT_NE(zero.out.find("frames 0\n"), std::string::npos) << zero.out;

  // With frames to draw, the same lines come first, then the run's report.
  RunResult two = RunReplay(dir.path(), "--stats --frames 2 --clock virtual");
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(two.out.rfind("object 0 kind 1", 0), 0u) << two.out;
  EXPECT_NE(two.out.find("texture 1 none\nframes 2\n"), std::string::npos) << two.out;
}
