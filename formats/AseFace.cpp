// The face line of ASE exports, shared by the engine's house reader and the
// tool's mesh converter.
#include "formats/AseFace.h"

#include "formats/LineReader.h"
#include "formats/LineScan.h"

namespace tarn::formats {

void ScanAseFace(std::string_view line, int& face, int& a, int& b, int& c) {
  const char* p = line.data();
  const char* end = p + line.size();
  auto skip = [&] {
    while (p < end && IsBlank(*p)) ++p;
  };
  auto word = [&]() -> std::string_view {
    skip();
    const char* start = p;
    while (p < end && !IsBlank(*p)) ++p;
    return {start, static_cast<std::size_t>(p - start)};
  };
  if (word().empty()) return;  // the keyword
  skip();
  if (!ScanInt(p, end, face)) return;
  std::string_view colonWord = word();  // the colon behind the face number
  if (colonWord.empty()) return;
  if (colonWord.size() > 1 && colonWord[0] == ':') p = colonWord.data() + 1;  // "12:A:1": the label follows
  int* corners[] = {&a, &b, &c};
  for (int* corner : corners) {
    std::string_view label = word();
    if (label.empty()) return;
    std::size_t colon = label.find(':');
    if (colon != std::string_view::npos && colon + 1 < label.size()) p = label.data() + colon + 1;  // "A:10000"
    skip();
    if (!ScanInt(p, end, *corner)) return;
  }
}

}  // namespace tarn::formats
