// "tarn.cfg": the read across lines and the fall-back for what is not a
// usable configuration.
#include <gtest/gtest.h>

#include "engine/app/ScreenConfig.h"
#include "tests/common/TempDir.h"

using tarn::test::ReadFile;
using tarn::test::WriteFile;

namespace {

RECT Read(const std::string& bytes, ConfigStatus expected) {
  WriteFile("tarn.cfg", bytes);
  RECT screen{7, 7, 7, 7};
  EXPECT_EQ(ReadScreenConfig("tarn.cfg", screen), expected);
  EXPECT_EQ(screen.left, 0);
  EXPECT_EQ(screen.top, 0);
  return screen;
}

TEST(ScreenConfig, ReadsWordWidthAndHeightAcrossLinesWhateverTheWord) {
  tarn::test::TempWorkDir dir;
  for (const char* text : {"Screen 1024 768", "Screen\n1024\n768\n", "x\r\n  1024\r\n\t768 trailing junk",
                           "800x600 1024 768", "\n\n\nScreen 1024 768 999",
                           "Screen\r\n1024\r\n768\r\n"}) {
    SCOPED_TRACE(text);
    RECT s = Read(text, ConfigStatus::kRead);
    EXPECT_EQ(s.right, 1024);
    EXPECT_EQ(s.bottom, 768);
  }
  // A word far longer than the 256-byte buffer is consumed whole.
  RECT s = Read(std::string(100000, 'w') + " 640 480", ConfigStatus::kRead);
  EXPECT_EQ(s.right, 640);
  EXPECT_EQ(s.bottom, 480);
  EXPECT_FALSE(std::filesystem::exists("Tarn.log"));
}

TEST(ScreenConfig, UnusableFilesFallBackTo800By600WithAnErrorLine) {
  tarn::test::TempWorkDir dir;
  struct Case {
    std::string bytes;
    ConfigStatus status;
  } cases[] = {
      {"", ConfigStatus::kIncomplete},
      {"Screen 1024", ConfigStatus::kIncomplete},
      {"Screen wide 768", ConfigStatus::kIncomplete},
      {std::string("\x7f\x45\x4c\x46\x00\x01\xff\xfe", 8), ConfigStatus::kIncomplete},
      {"Screen 0 600", ConfigStatus::kBadSize},
      {"Screen 800 -600", ConfigStatus::kBadSize},
      {"Screen 16385 600", ConfigStatus::kBadSize},
      {"Screen 2147483648 600", ConfigStatus::kBadSize},  // reads as -2147483648
  };
  int lines = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    RECT s = Read(c.bytes, c.status);
    EXPECT_EQ(s.right, 800);
    EXPECT_EQ(s.bottom, 600);
    ++lines;
  }
  RECT largest = Read("Screen 16384 16384", ConfigStatus::kRead);
  EXPECT_EQ(largest.right, 16384);

  // A folder in the file's place opens but cannot be read.
  std::filesystem::remove("tarn.cfg");
  std::filesystem::create_directory("tarn.cfg");
  RECT folder{};
  EXPECT_EQ(ReadScreenConfig("tarn.cfg", folder), ConfigStatus::kMissing);
  EXPECT_EQ(folder.right, 800);
  ++lines;
  std::filesystem::remove("tarn.cfg");
  RECT missing{};
  EXPECT_EQ(ReadScreenConfig("tarn.cfg", missing), ConfigStatus::kMissing);
  EXPECT_EQ(missing.right, 800);
  EXPECT_EQ(missing.bottom, 600);
  ++lines;

  const std::string log = ReadFile("Tarn.log");
  int errors = 0;
  for (std::size_t at = log.find("Error: tarn.cfg: "); at != std::string::npos;
       at = log.find("Error: tarn.cfg: ", at + 1))
    ++errors;
  EXPECT_EQ(errors, lines);
  EXPECT_NE(log.find("Error: tarn.cfg: cannot be read; screen 800 x 600\n"), std::string::npos);
}

}  // namespace
