#include "platform/codepage/Cp949.h"

#include <gtest/gtest.h>

using namespace tarn::codepage;

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

// Host bytes carried in the text (0xFF b) come out as the characters their
// UTF-8 was, in order with the converted and refused bytes around them.
TEST(Cp949, CodePointsOfCarriedBytesAmongTheRest) {
  const struct {
    std::string in;
    std::u32string points;
  } cases[] = {
      {"\xFF\xC3\xFF\xA9\xC7\xCF", U"\u00E9\uD558"},                    // é 하
      {"\xFF\xE9" "A", U"\u00E9A"},                                       // a byte of no UTF-8: its value
      {"A\xFF\xF0\xFF\x9F\xFF\x98\xFF\x80\xC7", U"A\U0001F600\u00C7"},  // emoji, then a cut lead byte
      {"\xC7\xCF\xFF\xC3\xFF\xA9\xFF", U"\uD558\u00E9\u00FF"},           // a lone 0xFF at the end
  };
  for (const auto& c : cases) EXPECT_EQ(Cp949ToCodePoints(c.in), c.points);
}
