// The shared line reader and field scan on arbitrary bytes, checked against
// the C library's sscanf on every line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/LineReader.h"
#include "formats/LineScan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarn::formats;
  LineReader reader(reinterpret_cast<const char*>(data), size);
  while (reader.Next()) {
    std::string_view line = reader.Line();
    if (line.size() > LineReader::kMaxLine) std::abort();
    char key[80] = "", word[16] = "";
    int n = -1;
    float f = -1.0f;
    int got = ScanLine(line, "%s %d %f %s", key, &n, &f, word);
    std::string copy(line);
    char rkey[80] = "", rword[16] = "";
    int rn = -1;
    float rf = -1.0f;
    int want = std::sscanf(copy.c_str(), "%79s %d %f %15s", rkey, &rn, &rf, rword);
    // A word cut to its buffer is where the two may differ: sscanf's width
    // leaves the rest of the word for the next field.
    if (std::strlen(rkey) >= 79 || std::strlen(rword) >= 15) continue;
    if (got != want || n != rn || std::strcmp(key, rkey) != 0 || std::strcmp(word, rword) != 0 ||
        std::memcmp(&f, &rf, sizeof f) != 0)
      std::abort();
  }
  return 0;
}
