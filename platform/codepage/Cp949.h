// Code page 949 at the boundary between the system's ANSI text and Linux.
//
// The system holds its Korean texts as code page 949 bytes and passes them
// unchanged to the ANSI calls (TextOutA, MessageBoxA, file names, window
// titles). The stand-ins convert here, with iconv's "CP949" converter, to
// what Linux wants: UTF-8 for file names and windows, code points for glyphs.
//
// Bytes that are not valid code page 949 pass through unchanged: in UTF-8
// output they are copied as they are (so a file name made of arbitrary bytes
// still names the same file), in code point output each becomes the code
// point of its byte value. Neither function fails or allocates more than its
// result.
#pragma once

#include <string>
#include <string_view>

namespace tarn::codepage {

std::string Cp949ToUtf8(std::string_view text);
std::string Utf8ToCp949(std::string_view text);
std::u32string Cp949ToCodePoints(std::string_view text);

}  // namespace tarn::codepage
