// The hot keyword lines ("VERTEX i x y z", "FACE i a b c" and their ASE
// counterparts) scanned without the general format interpreter: the same
// rules as ScanLine with "%s %d %f %f %f" / "%s %d %d %d %d" (the keyword
// is the line's first word, each field skips white space first, the first
// failing field ends the scan and later fields keep their values), through
// the same number parsers.
#pragma once

#include <string_view>

#include "formats/LineReader.h"
#include "formats/LineScan.h"

namespace tarn::world {

class FieldCursor {
 public:
  explicit FieldCursor(std::string_view rest) : p_(rest.data()), e_(rest.data() + rest.size()) {}
  bool Int(int& v) {
    if (!ok_) return false;
    Skip();
    return ok_ = formats::ScanInt(p_, e_, v);
  }
  bool Float(float& v) {
    if (!ok_) return false;
    Skip();
    return ok_ = formats::ScanFloat(p_, e_, v);
  }
  // A word read and dropped (a "%s" field).
  bool Word() {
    if (!ok_) return false;
    Skip();
    const char* start = p_;
    while (p_ < e_ && !formats::IsBlank(*p_)) ++p_;
    return ok_ = p_ > start;
  }

 private:
  void Skip() {
    while (p_ < e_ && formats::IsBlank(*p_)) ++p_;
  }
  const char* p_;
  const char* e_;
  bool ok_ = true;
};

inline void ScanIndexReals3(std::string_view line, int& i, float& a, float& b, float& c) {
  FieldCursor f(formats::AfterKeyword(line));
  f.Int(i) && f.Float(a) && f.Float(b) && f.Float(c);
}

inline void ScanIndexInts3(std::string_view line, int& i, int& a, int& b, int& c) {
  FieldCursor f(formats::AfterKeyword(line));
  f.Int(i) && f.Int(a) && f.Int(b) && f.Int(c);
}

}  // namespace tarn::world
