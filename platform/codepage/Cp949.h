// Code page 949 at the boundary between the system's ANSI text and Linux.
//
// The system holds its Korean texts as code page 949 bytes and passes them
// unchanged to the ANSI calls (TextOutA, MessageBoxA, file names, window
// titles). The stand-ins convert here, with iconv's "CP949" converter, to
// what Linux wants: UTF-8 for file names and windows, code points for glyphs.
//
// The boundary is lossless for what the host gives: a Linux name may hold
// characters code page 949 has no place for (café, Рабочий стол, emoji) or
// bytes that are no UTF-8 at all. Utf8ToCp949 carries each such byte b as
// the pair 0xFF b (b is 0x80 to 0xFF); 0xFF is neither a lead nor a trail
// byte of code page 949, so no real text collides with the pair, and the
// ASCII of a name ('.', '\\', digits) stays as it was. Cp949ToUtf8 gives the
// bytes back, so a name the host gave comes back to the host unchanged, and
// Cp949ToCodePoints draws them as the characters they were.
//
// Other bytes that are not valid code page 949 pass through unchanged: in
// UTF-8 output they are copied as they are (so a file name made of arbitrary
// bytes still names the same file), in code point output each becomes the
// code point of its byte value. No function fails.
#pragma once

#include <string>
#include <string_view>

namespace tarn::codepage {

inline constexpr char kCarried = '\xFF';  // first byte of a carried host byte

std::string Cp949ToUtf8(std::string_view text);
std::string Utf8ToCp949(std::string_view text);
std::u32string Cp949ToCodePoints(std::string_view text);

// The length of the valid UTF-8 sequence at the start of text (1 to 4), or 0.
std::size_t Utf8SequenceLength(std::string_view text);

}  // namespace tarn::codepage
