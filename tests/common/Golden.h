// Golden pictures are reviewed pictures. TARN_UPDATE_GOLDEN=1 (only "1")
// writes the drawn picture over the golden one and fails the test, so that
// an update is never taken for a pass: a person looks at the new picture,
// commits it, and runs the test again without the variable.
#pragma once

#include <cstdlib>
#include <cstring>

namespace tarn::test {

inline bool UpdatingGolden() {
  const char* update = std::getenv("TARN_UPDATE_GOLDEN");
  return update != nullptr && std::strcmp(update, "1") == 0;
}

inline constexpr char kGoldenWritten[] =
    " written: review it, commit it, and run the test again without TARN_UPDATE_GOLDEN";

}  // namespace tarn::test
