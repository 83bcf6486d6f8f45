// The lines of the tool's message boxes: broken at blanks only, Hangul
// counting two columns, so that no Korean word is cut between syllables.
#include <gtest/gtest.h>

#include <string>

#include "platform/hosts/gtk/BoxText.h"

namespace {

using tarn::hosts::WrapAtBlanks;

TEST(WrapAtBlanks, BreaksOnlyAtBlanks) {
  struct Case {
    const char* text;
    int columns;
    const char* want;
  };
  const Case cases[] = {
      // The tool's one-line reports stay one line.
      {"읽어 오기에 성공하였습니다.", 60, "읽어 오기에 성공하였습니다."},
      // "성공하였습니다." is 15 columns: it moves whole to the next line.
      {"hero.ase 파일을 hero.mca 파일로 변환하는데 성공하였습니다.", 40,
       "hero.ase 파일을 hero.mca 파일로\n변환하는데 성공하였습니다."},
      // Thirty syllables are sixty columns: they fit, the next word does not.
      {"가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나 다", 60,
       "가나다라마바사아자차카타파하가나다라마바사아자차카타파하가나\n다"},
      // A word longer than a line keeps a line of its own, unbroken.
      {"/a/very/long/folder/name/without/blanks 폴더에", 10, "/a/very/long/folder/name/without/blanks\n폴더에"},
      // The text's own breaks stay; runs of blanks collapse.
      {"one\ntwo  three", 60, "one\ntwo three"},
      // Bytes that are not UTF-8 pass through, one column each.
      {"ab\xff\xfe cd", 4, "ab\xff\xfe\ncd"},
      {"", 60, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapAtBlanks(c.text, c.columns), c.want) << c.text;
}

}  // namespace
