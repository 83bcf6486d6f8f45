// TextSink: the buffered writer behind every file the tool writes.
//
// It prints integers as "%d" and floats as "%.Nf" of the float widened to
// double, byte for byte as glibc's printf does (round half to even on the
// exact binary value), without going through the printf machinery: the
// converters print millions of numbers and printf's parsing of its format
// would cost more than reading the input. Values the fast path does not
// cover (infinities, NaN, magnitudes of 2^53 and more) go to snprintf.
//
// A sink writes to a stdio stream (not owned) or, for tests, to a string.
// Write errors are remembered: Failed() tells, and the caller reports it.
#pragma once

#include <cstddef>
#include <cstdio>
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

class TextSink {
 public:
  explicit TextSink(std::FILE* stream) : stream_(stream) {}
  explicit TextSink(std::string* text) : text_(text) {}
  ~TextSink() { Flush(); }
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  TextSink& Put(std::string_view text);
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

  // Hands the buffer to the stream (fflush included); false on a write error.
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  static constexpr std::size_t kSize = 1 << 16;
  void Reserve(std::size_t n) {
    if (static_cast<std::size_t>(buffer_ + kSize - pos_) < n) Drain();
  }
  void Drain();

  std::FILE* stream_ = nullptr;
  std::string* text_ = nullptr;
  bool failed_ = false;
  char buffer_[kSize];
  char* pos_ = buffer_;
};

}  // namespace tarn::tool
