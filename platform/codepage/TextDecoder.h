// The text encodings the readers accept, told apart and decoded over a
// buffer, with no system call: both halves of the files seam (Linux and
// Windows) read through it, and it is tested where the tests run.
//
// A text file is one of:
//   - UTF-16, little- or big-endian, announced by its byte-order mark;
//   - UTF-8 announced by its mark;
//   - anything else: code page 949, the system's own text, or bytes that are
//     not even that. These are eight-bit text and are read as they stand.
// The decoder turns the marked kinds into characters: a malformed unit (a
// lone surrogate, a bad or overlong UTF-8 sequence, a half unit at the end)
// becomes '?', and decoding goes on after it (after one byte for UTF-8, one
// unit for UTF-16). Turning the characters into code page 949 is the
// platform's part (platform/codepage/Cp949.h on Linux, the system's own
// conversion on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarn::codepage {

enum class TextEncoding { kEightBit, kUtf16Le, kUtf16Be, kUtf8 };

// The encoding the first bytes of a text announce, and the length of its
// mark (0 for eight-bit text, which has none). Fewer bytes than a mark are
// eight-bit text.
TextEncoding DetectMark(std::string_view first, std::size_t* markLength);

// Decodes a marked text block by block: a character cut by a block's end
// waits for the next block.
class TextDecoder {
 public:
  explicit TextDecoder(TextEncoding encoding) : encoding_(encoding) {}

  // Appends the characters of what is whole in `raw` to `out` and returns
  // the bytes it took; the rest starts the next call's `raw`. With `end`
  // (nothing follows) it takes everything, a cut character becoming '?'.
  // Eight-bit text is taken byte for byte, each byte a character of its
  // own value.
  std::size_t Decode(std::string_view raw, bool end, std::u32string& out) const;

 private:
  TextEncoding encoding_;
};

// A character as UTF-8.
void AppendUtf8(std::string& out, char32_t character);

}  // namespace tarn::codepage
