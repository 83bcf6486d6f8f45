#include "platform/codepage/TextDecoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/codepage/Iconv.h"

using namespace tarn::codepage;

namespace {

// The decoder's characters, fed in blocks of `block` bytes (the rest of each
// call carried to the next, as the file halves do).
std::u32string Decoded(TextEncoding encoding, const std::string& bytes, std::size_t block) {
  const TextDecoder decoder(encoding);
  std::string raw;
  std::u32string characters;
  for (std::size_t at = 0;; at += block) {
    const bool end = at >= bytes.size();
    if (!end) raw += bytes.substr(at, block);
    raw.erase(0, decoder.Decode(raw, end, characters));
    if (end) break;
  }
  EXPECT_TRUE(raw.empty());
  return characters;
}

// iconv's reading, with a refused unit (one byte of UTF-8, two of UTF-16)
// read as '?'. Its characters are taken as UTF-32: glibc's UTF-8 to UTF-8
// lets sequences past U+10FFFF through, which are no characters at all.
std::u32string ByIconv(TextEncoding encoding, const std::string& bytes) {
  const bool utf8 = encoding == TextEncoding::kUtf8;
  Converter converter("UTF-32LE", utf8 ? "UTF-8" : encoding == TextEncoding::kUtf16Le ? "UTF-16LE" : "UTF-16BE");
  std::string out;
  const std::size_t unit = utf8 ? 1 : 2;
  converter.Run(bytes, out, [&](std::string& o, std::string_view rest) {
    o.append("?\0\0\0", 4);
    return rest.size() < unit ? rest.size() : unit;
  });
  std::u32string characters;
  for (std::size_t i = 0; i + 4 <= out.size(); i += 4) {
    char32_t c = 0;
    for (int k = 3; k >= 0; --k) c = (c << 8) | static_cast<unsigned char>(out[i + static_cast<std::size_t>(k)]);
    characters.push_back(c);
  }
  return characters;
}

void ExpectAsIconv(TextEncoding encoding, const std::string& bytes) {
  const std::u32string want = ByIconv(encoding, bytes);
  ASSERT_FALSE(want.empty());
  for (std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, bytes.size() + 1})
    EXPECT_TRUE(Decoded(encoding, bytes, block) == want) << "block " << block;
}

TEST(TextDecoder, MarksTellTheEncodingAndTheRestIsEightBit) {
  struct Case {
    std::string first;
    TextEncoding encoding;
    std::size_t mark;
  } const cases[] = {
      {"\xFF\xFE" "a", TextEncoding::kUtf16Le, 2}, {"\xFE\xFF", TextEncoding::kUtf16Be, 2},
      {"\xEF\xBB\xBF*", TextEncoding::kUtf8, 3},   {"\xEF\xBB", TextEncoding::kEightBit, 0},
      {"\xFF", TextEncoding::kEightBit, 0},        {"", TextEncoding::kEightBit, 0},
      {"\xC7\xCF", TextEncoding::kEightBit, 0},    {"*3DSMAX", TextEncoding::kEightBit, 0},
  };
  for (const Case& c : cases) {
    std::size_t mark = 99;
    EXPECT_EQ(DetectMark(c.first, &mark), c.encoding) << c.first;
    EXPECT_EQ(mark, c.mark) << c.first;
  }
  std::u32string out;
  EXPECT_EQ(TextDecoder(TextEncoding::kEightBit).Decode("\xC7\xCF\xFF", false, out), 3u);
  EXPECT_TRUE(out == (std::u32string{0xC7, 0xCF, 0xFF}));
  std::string utf8;
  for (char32_t c : {U'A', U'\xE9', U'\xD558', U'\x1F600'}) AppendUtf8(utf8, c);
  EXPECT_EQ(utf8, "A\xC3\xA9\xED\x95\x98\xF0\x9F\x98\x80");
}

// Whole, malformed and cut characters, each fed whole and in pieces.
TEST(TextDecoder, ReadsAsIconvDidWhateverTheBlocks) {
  const std::string utf16le[] = {
      std::string("*\0M\0 \0", 6),
      std::string("\x58\xD5\x74\xC7", 4),              // 하이
      std::string("\x3D\xD8\x00\xDE", 4),              // a pair: U+1F600
      std::string("\x3D\xD8" "A\0", 4),                // high surrogate, then a letter
      std::string("\x00\xDE" "A\0", 4),                // lone low surrogate
      std::string("A\0\x3D\xD8", 4),                   // high surrogate at the end
      std::string("A\0\x3D\xD8\x00", 5),               // ... and half a unit
      std::string("A\0B", 3),                          // half a unit at the end
      std::string("\xFE\xFF\0\0", 4),                  // U+FFFE and NUL are characters
  };
  for (const std::string& le : utf16le) {
    SCOPED_TRACE(testing::PrintToString(le));
    ExpectAsIconv(TextEncoding::kUtf16Le, le);
    std::string be = le;
    for (std::size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
    ExpectAsIconv(TextEncoding::kUtf16Be, be);
  }
  const std::string utf8[] = {
      "*MESH \xED\x95\x98\xEC\x9D\xB4", "\xF0\x9F\x98\x80!",  "\xC0\x80",     "\xE0\x80\x80",  "\xED\xA0\x80",
      "\xF4\x90\x80\x80",               "\xE4\xB8" "A",      "\xE4\xB8",     "\x80\xBF",      "\xF8\x88\x80\x80\x80",
      "\xFF\xFE",                       "a\xF0\x9F\x98",     "\xC3\xA9\xC3",
  };
  for (const std::string& bytes : utf8) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    ExpectAsIconv(TextEncoding::kUtf8, bytes);
  }
}

TEST(TextDecoder, RandomBytesReadAsIconvDid) {
  std::mt19937 random(949);
  for (int round = 0; round < 300; ++round) {
    std::string bytes(1 + random() % 40, '\0');
    // Mostly bytes that make characters, so that long runs decode.
    for (char& b : bytes) b = static_cast<char>(random() % 4 == 0 ? random() % 256 : 0xD8 + random() % 0x28);
    SCOPED_TRACE(testing::PrintToString(bytes));
    for (TextEncoding encoding : {TextEncoding::kUtf16Le, TextEncoding::kUtf16Be, TextEncoding::kUtf8})
      ExpectAsIconv(encoding, bytes);
  }
}

}  // namespace
