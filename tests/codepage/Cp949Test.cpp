#include "platform/codepage/Cp949.h"

#include <gtest/gtest.h>

using namespace tarn::codepage;

// "하이트필드.txt" as the system holds it, in code page 949.
static const char kHeightFieldCp949[] = "\xC7\xCF\xC0\xCC\xC6\xAE\xC7\xCA\xB5\xE5.txt";

// Every host name comes back unchanged from its code page 949 form: Korean as
// its two-byte characters, the rest carried as 0xFF-escaped host bytes.
TEST(Cp949, NamesRoundTripThroughUtf8) {
  EXPECT_EQ(Utf8ToCp949("하이트필드.txt"), kHeightFieldCp949);
  EXPECT_EQ(Cp949ToUtf8(kHeightFieldCp949), "하이트필드.txt");
  for (const char* name : {"café", "Рабочий стол", "αβγ", "😀 emoji", "Téléchargements/Música", "\xE9" "a latin-1",
                           "\xFF\xFE", "하이트필드.txt", "mixed 한 é"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Cp949ToUtf8(Utf8ToCp949(name)), name);
  }
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
  EXPECT_EQ(Cp949ToCodePoints("\xC7\xCF" "A"), U"\uD558A");  // 하A
  EXPECT_EQ(Cp949ToCodePoints(Utf8ToCp949("é한")), U"é한");
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
