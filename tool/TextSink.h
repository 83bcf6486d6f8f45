// TextSink: the buffered writer behind every file the tool writes.
//
// It prints integers as "%d" and floats as "%.Nf" of the float widened to
// double, byte for byte as glibc's printf does (round half to even on the
// exact binary value), without going through the printf machinery: the
// converters print millions of numbers and printf's parsing of its format
// would cost more than reading the input. Values the fast path does not
// cover (infinities, NaN, magnitudes of 2^53 and more) go to snprintf.
//
// Why not std::to_chars(chars_format::fixed, precision), which prints the
// same bytes (checked on 38 million floats at 0 to 9 decimals: random bit
// patterns, every float within 2^22 steps of 1.0, halfway cases, -0, NaN,
// infinities, FLT_MAX): measured in place of FormatFixed and FormatInt, it
// made the mesh converter slower. bench_tool BM_MeshConversion, CPU time of
// three alternating runs: 320, 293, 271 ms against 211, 236, 208 ms; the
// whole process on a 100 MB static export, median CPU ratio of 15 runs in
// alternation: to_chars / this code 1.14, and this code / to_chars 0.88 with
// the pair's order swapped. The physique and motion converters on a 100 MB
// biped export were within noise (0.99, 0.96).
//
// A sink writes to a stdio stream (not owned) or, for tests, to a string.
// Write errors are remembered: Failed() tells, and the caller reports it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/LineReader.h"

namespace tarn::tool {

using formats::AfterKeyword;

// Appends the text of printf("%.<decimals>f", double(value)) at out and
// returns the end; out needs room for 64 bytes. decimals is 0 to 9.
char* FormatFixed(char* out, float value, int decimals);
// Appends the text of printf("%d", value) at out; room for 12 bytes.
char* FormatInt(char* out, int value);

// Copies n <= 16 bytes with a few fixed-size moves (no call, no byte loop)
// and reads nothing outside the source.
inline void CopySmall(char* out, const char* in, std::size_t n) {
  if (n >= 8) {
    std::memcpy(out, in, 8);
    std::memcpy(out + n - 8, in + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(out, in, 4);
    std::memcpy(out + n - 4, in + n - 4, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
  }
}

// A number as "%.4f" prints it, kept as text: the converters copy numbers
// that an export already wrote in that form, which gives the same text as
// reading the float and printing it (below 1000 a float is closer than
// half of 0.0001 to every such number), at a fraction of the cost.
struct Fixed4Text {
  char text[64] = "0.0000";  // 0.0f, as printed
  std::size_t length = 6;
  void Set(float value);
  std::string_view View() const { return std::string_view(text, length); }
};

// What ScanLine(text, "%d %f %f ...", ...) reads with `count` %f fields
// (1 to 4), the floats kept as their "%.4f" text: fields the scan does not
// reach keep what they held, as ScanLine leaves them.
void ScanIntAndFixed4(std::string_view text, int* value, Fixed4Text* fields, int count);

class TextSink {
 public:
  explicit TextSink(std::FILE* stream) : stream_(stream) {}
  explicit TextSink(std::string* text) : text_(text) {}
  ~TextSink() { Flush(); }
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  TextSink& Put(std::string_view text) {
    if (text.size() <= 16 && static_cast<std::size_t>(buffer_ + kSize - pos_) >= 16) {
      CopySmall(pos_, text.data(), text.size());
      pos_ += text.size();
      return *this;
    }
    return PutLong(text);
  }
  TextSink& Put(char c) {
    Reserve(1);
    *pos_++ = c;
    return *this;
  }
  TextSink& Int(int value) {
    Reserve(12);
    pos_ = FormatInt(pos_, value);
    return *this;
  }
  TextSink& Fixed(float value, int decimals) {
    Reserve(64);
    pos_ = FormatFixed(pos_, value, decimals);
    return *this;
  }
  // A blank, then the number: the converters' field separator.
  TextSink& SpInt(int value) { return Put(' ').Int(value); }
  TextSink& SpFixed(float value, int decimals) { return Put(' ').Fixed(value, decimals); }
  TextSink& SpFixed4(const Fixed4Text& number) { return Put(' ').Put(number.View()); }

  // Hands the buffer to the stream (fflush included); false on a write error.
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  static constexpr std::size_t kSize = 1 << 16;
  void Reserve(std::size_t n) {
    if (static_cast<std::size_t>(buffer_ + kSize - pos_) < n) Drain();
  }
  void Drain();
  TextSink& PutLong(std::string_view text);

  std::FILE* stream_ = nullptr;
  std::string* text_ = nullptr;
  bool failed_ = false;
  char buffer_[kSize];
  char* pos_ = buffer_;
};

}  // namespace tarn::tool
