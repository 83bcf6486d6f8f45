// Text files that announce their encoding with a byte-order mark, read as
// the code page 949 text the system expects (private to platform/files).
#pragma once

#include <cstddef>
#include <cstdio>

namespace tarn::files::detail {

enum class TextEncoding { kEightBit, kUtf16Le, kUtf16Be, kUtf8 };

// The encoding a file's first bytes announce, and the mark's length.
inline TextEncoding DetectMark(const unsigned char* p, std::size_t n, std::size_t* markLength) {
  *markLength = 0;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    *markLength = 2;
    return TextEncoding::kUtf16Le;
  }
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    *markLength = 2;
    return TextEncoding::kUtf16Be;
  }
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    *markLength = 3;
    return TextEncoding::kUtf8;
  }
  return TextEncoding::kEightBit;
}

// A read-only stream over the open descriptor fd (owned from then on,
// positioned after the mark) that delivers its text converted to code page
// 949: characters without a code page 949 form are carried as the host's
// UTF-8 bytes (platform/codepage/Cp949.h), malformed units become '?'.
// Null (fd closed) when the stream cannot be made.
std::FILE* OpenDecodedStream(int fd, TextEncoding encoding);

}  // namespace tarn::files::detail
