// ScanLine: a keyword's scanf-style format applied to a whole line, with the
// semantics of the C library's sscanf (glibc's, on which the system runs):
//   - white space in the format skips any white space in the line;
//   - %d reads an optional sign and decimal digits; the value is strtol's
//     (saturated to 64 bits) stored into an int (its low 32 bits), so
//     "2147483648" reads as -2147483648, as sscanf gives it;
//   - %f reads what sscanf's %f consumes (sign, digits with one point and an
//     exponent, "inf"/"infinity"/"nan", hexadecimal) and rounds it to the
//     nearest float exactly as strtof does. "-1.#IND", which MSVC writes for
//     NaN, reads -1 and leaves "#IND" for the next field; "0:" reads 0;
//   - %s reads a word; a word longer than its buffer is cut to fit (the
//     whole word is consumed, the buffer always ends with a NUL);
//   - any other format character must match the line's next character.
// The first field that fails ends the scan; fields it did not reach keep the
// values they had. The result is the number of fields stored, or -1 when the
// line ran out before the first field (sscanf's EOF).
//
// Targets are passed as int*, float*, a char array (its size is known) or a
// Word (a buffer and its size). A specifier that does not fit its target is
// a programming error and asserts. Nothing here allocates.
#pragma once

#include <cstddef>
#include <string_view>

#include "formats/LineReader.h"

namespace tarn::formats {

struct Word {
  char* buffer;
  std::size_t size;
};

struct ScanTarget {
  enum Kind { kInt, kFloat, kText } kind;
  void* pointer;
  std::size_t size;
};

int ScanCore(std::string_view line, const char* format, const ScanTarget* targets, std::size_t count);

inline ScanTarget MakeScanTarget(int* p) { return {ScanTarget::kInt, p, sizeof(int)}; }
inline ScanTarget MakeScanTarget(float* p) { return {ScanTarget::kFloat, p, sizeof(float)}; }
inline ScanTarget MakeScanTarget(Word w) { return {ScanTarget::kText, w.buffer, w.size}; }
template <std::size_t N>
ScanTarget MakeScanTarget(char (&buffer)[N]) {
  return {ScanTarget::kText, buffer, N};
}

template <class... Targets>
int ScanLine(std::string_view line, const char* format, Targets&&... targets) {
  const ScanTarget list[] = {MakeScanTarget(targets)..., {ScanTarget::kInt, nullptr, 0}};
  return ScanCore(line, format, list, sizeof...(Targets));
}

// The number parsers behind %d and %f, usable on their own. Each starts at
// p (no white space skipped), advances p past what sscanf would consume, and
// returns false when the field fails.
bool ScanInt(const char*& p, const char* end, int& value);
bool ScanFloat(const char*& p, const char* end, float& value);

// The fields of a number line one at a time, without interpreting a format:
// each call skips white space and reads one field by the rules of ScanLine's
// %d or %f; once a field fails, every later call fails and stores nothing.
// The hot keyword lines of the converters and the world readers all go
// through it.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view rest) : p_(rest.data()), e_(rest.data() + rest.size()) {}
  bool Int(int& v) { return Skip() && (ok_ = ScanInt(p_, e_, v)); }
  bool Float(float& v) { return Skip() && (ok_ = ScanFloat(p_, e_, v)); }
  // Whether the field that failed found the line at its end (sscanf's EOF
  // when no field was stored before it).
  bool RanOut() const { return ranOut_; }

 private:
  bool Skip() {
    if (!ok_) return false;
    while (p_ < e_ && IsBlank(*p_)) ++p_;
    ranOut_ = p_ >= e_;
    return ok_ = !ranOut_;
  }
  const char* p_;
  const char* e_;
  bool ok_ = true;
  bool ranOut_ = false;
};

// ScanLine(line, "%d ... %d %f ... %f", ...) with intCount %d fields then
// floatCount %f fields, blank-separated, through FieldCursor: the same
// result and the same stores, for the converters' number lines.
int ScanNumbers(std::string_view line, int* ints, int intCount, float* floats, int floatCount);

// The rest of a "KEY i x y z" / "KEY i a b c" line after its keyword, as
// ScanLine with "%s %d %f %f %f" / "%s %d %d %d %d" reads it (the result is
// not needed: fields not reached keep their values).
inline void ScanIndexReals3(std::string_view afterKeyword, int& i, float& a, float& b, float& c) {
  FieldCursor f(afterKeyword);
  f.Int(i) && f.Float(a) && f.Float(b) && f.Float(c);
}
inline void ScanIndexInts3(std::string_view afterKeyword, int& i, int& a, int& b, int& c) {
  FieldCursor f(afterKeyword);
  f.Int(i) && f.Int(a) && f.Int(b) && f.Int(c);
}

}  // namespace tarn::formats
