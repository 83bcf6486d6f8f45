// Text files that announce their encoding with a byte-order mark, read as
// the code page 949 text the system expects (private to platform/files).
// What the mark says and how the characters decode is the pure decoder's
// (platform/codepage/TextDecoder.h); each half only makes the stream.
#pragma once

#include <cstddef>
#include <cstdio>

#include "platform/codepage/TextDecoder.h"

namespace tarn::files::detail {

// A text stream over the open descriptor fd (owned from then on, positioned
// at the file's start): the decoded stream of marked text, or the plain
// stream of eight-bit text. Null (fd closed) when the stream cannot be made.
std::FILE* OpenTextStream(int fd);

// Each half's own steps of OpenTextStream.
// Reads up to n bytes from the file's start, leaving fd at its start;
// false (fd closed) when it cannot be put back there.
bool ReadStart(int fd, unsigned char* first, std::size_t n, std::size_t* got);
// The plain stream over fd; null (fd closed) when it cannot be made.
std::FILE* PlainStream(int fd);
// A read-only stream that delivers fd's text after its first `mark` bytes,
// converted to code page 949: characters without a code page 949 form are
// carried as the host's UTF-8 bytes (platform/codepage/Cp949.h), malformed
// units become '?'. Null (fd closed) when the stream cannot be made.
std::FILE* OpenDecodedStream(int fd, std::size_t mark, codepage::TextEncoding encoding);

}  // namespace tarn::files::detail
