#include "formats/LineReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "formats/AseDepth.h"

using tarn::formats::AseDepthChange;
using tarn::formats::LineReader;

namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  LineReader reader(text.data(), text.size());
  std::vector<std::string> lines;
  while (reader.Next()) lines.emplace_back(reader.Line());
  return lines;
}

// What fgets(buf, 256) on a text-mode stream of the original platform gives:
// CR LF becomes LF first, then pieces of at most 255 characters.
std::vector<std::string> ReferenceLines(const std::string& text) {
  std::string translated;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    translated.push_back(text[i]);
  }
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < translated.size()) {
    std::string piece;
    while (i < translated.size() && piece.size() < 255) {
      char c = translated[i++];
      piece.push_back(c);
      if (c == '\n') break;
    }
    if (!piece.empty() && piece.back() == '\n') piece.pop_back();
    else if (i == translated.size() && !piece.empty() && piece.back() == '\r') piece.pop_back();
    size_t nul = piece.find('\0');
    if (nul != std::string::npos) piece.resize(nul);
    lines.push_back(piece);
  }
  return lines;
}

}  // namespace

TEST(LineReader, LongLinesArriveInPiecesOf255) {
  std::string text(300, 'x');
  text += "\nshort\n";
  auto lines = LinesOf(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 255u);
  EXPECT_EQ(lines[1], std::string(45, 'x'));
  EXPECT_EQ(lines[2], "short");

  // 254 characters and the newline fit one buffer; 255 leave the newline
  // for an empty piece of its own.
  EXPECT_EQ(LinesOf(std::string(254, 'a') + "\nb").size(), 2u);
  auto split = LinesOf(std::string(255, 'a') + "\nb");
  ASSERT_EQ(split.size(), 3u);
  EXPECT_EQ(split[1], "");
}

TEST(LineReader, CrBeforeLfAndAtTheEndIsPartOfTheLineEnd) {
  auto lines = LinesOf("*MESH {\r\nEnd\r\nlone\rcr\r");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "*MESH {");
  EXPECT_EQ(lines[1], "End");
  EXPECT_EQ(lines[2], "lone\rcr");
  // 254 characters, CR, LF: the CR LF is one newline, so it is one line.
  auto crlf = LinesOf(std::string(254, 'a') + "\r\nb");
  ASSERT_EQ(crlf.size(), 2u);
  EXPECT_EQ(crlf[0].size(), 254u);
}

TEST(LineReader, LineEndsAtItsFirstNul) {
  std::string text("ab\0cd\nef", 8);
  auto lines = LinesOf(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "ab");
  EXPECT_EQ(lines[1], "ef");
}

TEST(LineReader, KeywordsAreExactAndCutTo79) {
  std::string word(200, 'K');
  std::string text = "  House  0 file.ase\nhouse 1\n\n   \t\n" + word + " rest\n";
  LineReader reader(text.data(), text.size());
  ASSERT_TRUE(reader.NextKeywordLine());
  EXPECT_TRUE(reader.Is("House"));
  EXPECT_EQ(reader.SecondWord(), "0");
  ASSERT_TRUE(reader.NextKeywordLine());
  EXPECT_FALSE(reader.Is("House"));
  ASSERT_TRUE(reader.NextKeywordLine());  // blank lines skipped
  EXPECT_EQ(reader.Keyword().size(), 79u);
  EXPECT_EQ(reader.SecondWord(), "rest");
  EXPECT_EQ(reader.LineNumber(), 5);
  EXPECT_FALSE(reader.NextKeywordLine());
}

TEST(LineReader, StreamAndMemoryGiveTheReferencePieces) {
  // Random text with long lines, CR LF pairs and lone CRs, several 64 KB
  // blocks long so that lines straddle block boundaries.
  std::mt19937 random(7);
  std::string text;
  while (text.size() < 300000) {
    int length = static_cast<int>(random() % 600);
    for (int i = 0; i < length; ++i) text.push_back(static_cast<char>('a' + random() % 26));
    switch (random() % 4) {
      case 0: text += "\r\n"; break;
      case 1: text += "\r"; break;
      default: text += "\n";
    }
  }
  auto expected = ReferenceLines(text);
  EXPECT_EQ(LinesOf(text), expected);

  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  LineReader reader(f);
  std::vector<std::string> lines;
  while (reader.Next()) lines.emplace_back(reader.Line());
  std::fclose(f);
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(reader.Consumed(), text.size());
}

TEST(LineReader, WordsAndTheRestMatchAPlainScanInStreamAndMemory) {
  // Every blank kind, NUL bytes (a line ends at its first), words of every
  // length around the 16-byte steps of the word scan.
  std::mt19937 random(9);
  const char alphabet[] = "ab* \t\v\f\r{}0";
  std::string text;
  while (text.size() < 200000) {
    int length = static_cast<int>(random() % 90);
    for (int i = 0; i < length; ++i)
      text.push_back(random() % 997 == 0 ? '\0' : alphabet[random() % (sizeof alphabet - 1)]);
    text += "\n";
  }
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  LineReader memory(text.data(), text.size()), stream(f);
  for (LineReader* reader : {&memory, &stream}) {
    while (reader->Next()) {
      std::string_view line = reader->Line();
      std::string_view first = tarn::formats::WordAt(line, 0);
      // Asked before SecondWord(), so that the shortcut is what answers.
      ASSERT_EQ(reader->SecondWordIs("{"), tarn::formats::WordAt(line, 1) == "{");
      ASSERT_EQ(reader->SecondWordIs("{}"), tarn::formats::WordAt(line, 1) == "{}");
      ASSERT_EQ(reader->Keyword(), first.substr(0, LineReader::kKeywordBuffer - 1));
      ASSERT_EQ(reader->SecondWord(), tarn::formats::WordAt(line, 1));
      ASSERT_EQ(reader->AfterKeyword(), tarn::formats::AfterKeyword(line));
    }
  }
  std::fclose(f);
}

TEST(LineReader, AseDepthCountsOnlySecondWordBraces) {
  const std::string text = "*GEOMOBJECT {\n*MATERIAL 0 {\n}\n} {\n\n";
  LineReader reader(text.data(), text.size());
  std::vector<int> changes;
  while (reader.Next()) changes.push_back(AseDepthChange(reader));
  EXPECT_EQ(changes, (std::vector<int>{1, 0, -1, 0, 0}));
}
