#include "platform/win32/Cp949.h"

#include <gtest/gtest.h>

using namespace tarn::win32;

// "하이트필드.txt" as the system holds it, in code page 949.
static const char kHeightFieldCp949[] = "\xC7\xCF\xC0\xCC\xC6\xAE\xC7\xCA\xB5\xE5.txt";

TEST(Cp949, KoreanRoundTripsThroughUtf8) {
  std::string utf8 = Cp949ToUtf8(kHeightFieldCp949);
  EXPECT_EQ(utf8, "하이트필드.txt");
  EXPECT_EQ(Utf8ToCp949(utf8), kHeightFieldCp949);
}

TEST(Cp949, InvalidBytesPassThroughUnchanged) {
  // 0xFF is no lead byte; 0xC7 at the very end lacks its trail byte.
  std::string in = std::string("a\xFF") + "b\xC7";
  EXPECT_EQ(Cp949ToUtf8(in), in);
  std::u32string points = Cp949ToCodePoints(in);
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points[1], U'\xFF');
  EXPECT_EQ(points[3], U'\xC7');
}

TEST(Cp949, CodePointsOfHangulAndAscii) {
  std::u32string points = Cp949ToCodePoints("\xC7\xCF" "A");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0], U'\xD558');  // 하
  EXPECT_EQ(points[1], U'A');
}
