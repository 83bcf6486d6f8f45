// The replay input script and command line.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/hosts/headless/ReplayOptions.h"
#include "platform/hosts/headless/ReplayScript.h"

using namespace tarn::hosts;

namespace {

ReplayScript Parse(const std::string& text) {
  ReplayScript script;
  std::string error;
  EXPECT_TRUE(script.Parse(text.data(), text.size(), error)) << error;
  return script;
}

std::string ParseError(const std::string& text) {
  ReplayScript script;
  std::string error;
  EXPECT_FALSE(script.Parse(text.data(), text.size(), error)) << text;
  return error;
}

TEST(ReplayScript, EntriesCoverTheirFramesAndAddUp) {
  ReplayScript s = Parse(
      "# walk, then turn\r\n"
      "0-9 W\r\n"
      "\r\n"
      "10 dx=10 rmb   # one turn\n"
      "5-12 dik=42 lshift dx=-3 dy=2\n"
      "12 up DOWN Left right escape q a s d lmb\n");
  EXPECT_EQ(s.LastFrame(), 12);
  FrameInput f0 = s.At(0);
  EXPECT_TRUE(f0.keys.test(0x11));
  EXPECT_EQ(f0.keys.count(), 1u);
  EXPECT_EQ(f0.dx, 0);
  FrameInput f9 = s.At(9);
  EXPECT_TRUE(f9.keys.test(0x11));
  EXPECT_TRUE(f9.keys.test(42));
  EXPECT_EQ(f9.dx, -3);
  EXPECT_EQ(f9.dy, 2);
  FrameInput f10 = s.At(10);
  EXPECT_FALSE(f10.keys.test(0x11));
  EXPECT_TRUE(f10.rightButton);
  EXPECT_FALSE(f10.leftButton);
  EXPECT_EQ(f10.dx, 7);  // 10 and -3 in the same frame
  FrameInput f12 = s.At(12);
  for (int code : {0xC8, 0xD0, 0xCB, 0xCD, 0x01, 0x10, 0x1E, 0x1F, 0x20}) EXPECT_TRUE(f12.keys.test(code)) << code;
  EXPECT_TRUE(f12.leftButton);
  FrameInput after = s.At(13);
  EXPECT_EQ(after.keys.count(), 0u);
  EXPECT_EQ(after.dx, 0);
  EXPECT_FALSE(after.rightButton);
  EXPECT_TRUE(Parse("# nothing\n\n").Empty());
  EXPECT_EQ(Parse("").LastFrame(), -1);
}

TEST(ReplayScript, BadEntriesNameTheirLine) {
  EXPECT_NE(ParseError("0 W\nx W\n").find("line 2"), std::string::npos);
  EXPECT_NE(ParseError("0 Jump\n").find("unknown item \"Jump\""), std::string::npos);
  EXPECT_NE(ParseError("9-3 W\n").find("backwards"), std::string::npos);
  EXPECT_NE(ParseError("-1 W\n").find("line 1"), std::string::npos);
  EXPECT_NE(ParseError("0 dik=256\n").find("0 to 255"), std::string::npos);
  EXPECT_NE(ParseError("0 dik=-1\n").find("0 to 255"), std::string::npos);
  EXPECT_NE(ParseError("0 dx=ten\n").find("mouse motion"), std::string::npos);
  EXPECT_NE(ParseError("0-\n").find("range"), std::string::npos);
  EXPECT_NE(ParseError("1-2-3 W\n").find("range"), std::string::npos);
  ParseError(std::string("\x01\xff\xfe garbage", 12));
  // A 100,000-character line arrives in pieces; the first piece's item is
  // unknown, and nothing overflows.
  ParseError("0 " + std::string(100000, 'W'));
  // Frame numbers at the edge of int still work without overflow.
  ReplayScript big = Parse("2147483647 W\n");
  EXPECT_EQ(big.LastFrame(), 2147483647);
  EXPECT_TRUE(big.At(2147483647).keys.test(0x11));
}

bool Options(std::vector<const char*> args, ReplayOptions& o, std::string& error) {
  args.insert(args.begin(), "tarnview-replay");
  return ParseReplayOptions(static_cast<int>(args.size()), args.data(), o, error);
}

TEST(ReplayOptions, ReadsEveryOptionAndRefusesBadValues) {
  ReplayOptions o;
  std::string error;
  ASSERT_TRUE(Options({"--frames", "60", "--input", "s.txt", "--shot", "a.png", "--shots", "d", "--every", "5",
                       "--clock", "virtual:20", "--stats", "--export", "w.glb", "--unlit"},
                      o, error))
      << error;
  EXPECT_EQ(o.frames, 60);
  EXPECT_EQ(o.inputPath, "s.txt");
  EXPECT_EQ(o.shotPath, "a.png");
  EXPECT_EQ(o.shotsDir, "d");
  EXPECT_EQ(o.every, 5);
  EXPECT_TRUE(o.virtualClock);
  EXPECT_EQ(o.millisecondsPerFrame, 20u);
  EXPECT_TRUE(o.stats);
  EXPECT_EQ(o.exportPath, "w.glb");
  EXPECT_TRUE(o.unlit);

  ReplayOptions v;
  ASSERT_TRUE(Options({"--clock", "virtual"}, v, error));
  EXPECT_FALSE(v.unlit);
  EXPECT_EQ(v.millisecondsPerFrame, 16u);
  EXPECT_EQ(v.folder, "");

  // The world's folder, anywhere among the options; after "--" it may start with a dash.
  for (auto [args, folder] : std::vector<std::pair<std::vector<const char*>, const char*>>{
           {{"world", "--frames", "1"}, "world"}, {{"--stats", "-"}, "-"}, {{"--", "-w"}, "-w"}}) {
    ReplayOptions f;
    ASSERT_TRUE(Options(args, f, error)) << error;
    EXPECT_EQ(f.folder, folder);
  }

  for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
           {"--frames"}, {"--frames", "-4"}, {"--frames", "12x"}, {"--frames", "99999999999"},
           {"--clock", "fast"}, {"--clock", "virtual:-1"}, {"--every", "2"}, {"--shots", "d", "--every", "0"},
           {"--export"}, {"--export", ""}, {"--bogus"}, {"a", "b"}, {""}, {"--", "a", "b"}}) {
    ReplayOptions b;
    error.clear();
    EXPECT_FALSE(Options(bad, b, error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
