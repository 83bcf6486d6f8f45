// The text of a message box laid out in lines before GTK sees it.
//
// GTK's label wraps at any place the Unicode line-breaking rules allow, and
// they allow a break between any two Hangul syllables: a Korean message came
// out as "성공하였습니" / "다.". The box therefore shows the text as laid out
// here, with its own wrapping turned off: lines break only at blanks.
#pragma once

#include <string>

namespace tarn::hosts {

// Breaks UTF-8 text at blanks into lines of at most `columns` columns, wide
// (East Asian) characters counting two. A word longer than a line keeps a
// line of its own, unbroken; the text's own line breaks stay; the blank at a
// break is dropped. Bytes that are not UTF-8 count one column each.
std::string WrapAtBlanks(const std::string& utf8, int columns);

}  // namespace tarn::hosts
