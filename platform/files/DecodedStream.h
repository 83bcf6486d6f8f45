// Text files that announce their encoding with a byte-order mark, read as
// the code page 949 text the system expects (private to platform/files).
#pragma once

#include <cstdio>

namespace tarn::files::detail {

enum class TextEncoding { kEightBit, kUtf16Le, kUtf16Be, kUtf8 };

// The encoding a file's first bytes announce, and the mark's length.
TextEncoding DetectMark(const unsigned char* first, std::size_t n, std::size_t* markLength);

// A read-only stream over the open descriptor fd (owned from then on,
// positioned after the mark) that delivers its text converted to code page
// 949: characters without a code page 949 form are carried as the host's
// UTF-8 bytes (platform/codepage/Cp949.h), malformed units become '?'.
// Null (fd closed) when the stream cannot be made.
std::FILE* OpenDecodedStream(int fd, TextEncoding encoding);

}  // namespace tarn::files::detail
