// LineReader: the one reader of keyword lines that every text reader and
// converter of both programs goes through.
//
// A line is what fgets with a 256-byte buffer delivers from a file opened in
// text mode on the original platform:
//   - at most 255 characters; a longer physical line arrives as several lines
//     (the newline counts as one of the 255, so 254 characters and a newline
//     make one line, and 255 characters make a line and then an empty one);
//   - a CR directly before the LF belongs to the line end and is dropped, as
//     is a CR that is the last byte of the input;
//   - the line handed out carries no newline, and ends at its first NUL byte
//     (the C string functions that scanned the buffer stopped there).
// Words are runs of characters other than the C locale's white space. The
// keyword is the first word cut to 79 characters (an 80-byte buffer); lines
// without any word are skipped by NextKeywordLine.
//
// The reader takes memory or a stdio stream (not owned); a stream is read in
// 64 KB blocks, so memory stays constant whatever the file's size, and no
// line allocates.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>
#include <vector>

namespace tarn::formats {

class LineReader {
 public:
  static constexpr std::size_t kLineBuffer = 256;  // bytes, as the programs' buffers
  static constexpr std::size_t kMaxLine = kLineBuffer - 1;
  static constexpr std::size_t kKeywordBuffer = 80;

  LineReader(const char* data, std::size_t size);
  explicit LineReader(std::FILE* stream);

  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads the next line, worded or not. False at the end of the input.
  bool Next();
  // Reads lines until one has a word; false at the end of the input.
  bool NextKeywordLine();

  // The current line and its words stay valid until the next Next().
  std::string_view Line() const { return line_; }
  // First and second word of the current line; empty when absent.
  std::string_view Keyword() const { return keyword_; }
  std::string_view SecondWord() const {
    if (!secondFound_) FindSecondWord();
    return second_;
  }
  // What follows the first word (all of it, however long the word): what
  // AfterKeyword(Line()) gives, without scanning the word again.
  std::string_view AfterKeyword() const {
    return std::string_view(keywordEnd_, static_cast<std::size_t>(line_.data() + line_.size() - keywordEnd_));
  }
  bool Is(std::string_view keyword) const { return keyword_ == keyword; }
  // SecondWord() == word, without finding where the second word ends.
  bool SecondWordIs(std::string_view word) const;
  bool HasWord() const { return !keyword_.empty(); }
  // 1 for the first line delivered; pieces of a long line count as lines.
  long long LineNumber() const { return lineNumber_; }
  // Bytes consumed from the input so far (for progress reports).
  std::size_t Consumed() const { return consumed_; }

 private:
  bool Fill();  // stream mode: make at least kMaxLine + 2 bytes visible if the input has them
  void SplitWords();
  void FindNul();  // nul_: the first NUL byte at or after cur_, or end_
  void FindSecondWord() const;  // on demand: most readers never ask

  std::FILE* stream_ = nullptr;
  std::vector<char> block_;
  const char* cur_ = nullptr;
  const char* end_ = nullptr;
  const char* nul_ = nullptr;
  bool eof_ = true;
  std::size_t consumed_ = 0;
  long long lineNumber_ = 0;
  std::string_view line_, keyword_;
  const char* keywordEnd_ = nullptr;
  mutable std::string_view second_;
  mutable bool secondFound_ = true;
};

// C locale white space, as isspace() sees it in "C".
// (A table: the readers ask this of every character they pass.)
namespace detail {
struct BlankTable {
  bool blank[256] = {};
  constexpr BlankTable() {
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) blank[c] = true;
  }
};
inline constexpr BlankTable kBlanks{};
}  // namespace detail
constexpr bool IsBlank(char c) { return detail::kBlanks.blank[static_cast<unsigned char>(c)]; }

// The text of a line after its first word (the keyword): what "%s " leaves
// to the next field of a keyword's format, without copying the keyword.
constexpr std::string_view AfterKeyword(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  while (i < line.size() && !IsBlank(line[i])) ++i;
  return line.substr(i);
}

// The n-th (0-based) word of a line, or an empty view.
std::string_view WordAt(std::string_view line, int n);

}  // namespace tarn::formats
