// The block depth rule of ASE exports: a line whose second word is "{" opens
// a block, a line whose first word is "}" closes one. A "{" further along the
// line (a "*MATERIAL 0 {" line's brace is its third word) does not count, and
// a line without words changes nothing.
#pragma once

#include "formats/LineReader.h"

namespace tarn::formats {

// The change of depth that the current line brings: -1, 0 or +1 (a line
// "} {" both closes and opens, and so brings 0).
inline int AseDepthChange(const LineReader& reader) {
  return (reader.SecondWordIs("{") ? 1 : 0) - (reader.Keyword() == "}" ? 1 : 0);
}

}  // namespace tarn::formats
