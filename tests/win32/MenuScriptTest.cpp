// Menu resources read from resource scripts: what the reader accepts, what
// it skips, and the malformed scripts it refuses with the line named.
#include <gtest/gtest.h>

#include "platform/win32/MenuScript.h"

namespace tarn::win32 {
namespace {

// Items as "flags:id:text" joined by '|', flags as P(opup) S(eparator)
// E(nd) G(rayed) C(hecked).
std::string Describe(const std::vector<MenuTemplateItem>& items) {
  std::string out;
  for (const MenuTemplateItem& item : items) {
    if (!out.empty()) out += '|';
    if (item.flags & MF_POPUP) out += 'P';
    if (item.flags & MF_SEPARATOR) out += 'S';
    if (item.flags & MF_END) out += 'E';
    if (item.flags & MF_GRAYED) out += 'G';
    if (item.flags & MF_CHECKED) out += 'C';
    out += ':' + std::to_string(item.id) + ':' + item.text;
  }
  return out;
}

struct Case {
  const char* script;
  const char* expected;  // Describe() of menu 7, or "!" and the start of the reason
};

TEST(MenuScript, ReadsMenusAndSkipsEverythingElse) {
  const Case cases[] = {
      {"7 MENU\nBEGIN\n POPUP \"A\"\n BEGIN\n  MENUITEM \"x\", 1\n END\nEND\n", "PE:0:A|E:1:x"},
      // Braces, options, separators, nested pop-ups, hex ids, CRLF.
      {"7 MENU DISCARDABLE\r\n{\r\n POPUP \"A\", GRAYED\r\n {\r\n  MENUITEM \"x\", 0x10, CHECKED\r\n"
       "  MENUITEM SEPARATOR\r\n  POPUP \"B\"\r\n  {\r\n   MENUITEM \"y\", 2\r\n  }\r\n }\r\n}\r\n",
       "PEG:0:A|C:16:x|S:0:|PE:0:B|E:2:y"},
      // Quotes, tabs and Korean bytes (code page 949) in texts.
      {"7 MENU\nBEGIN\n MENUITEM \"a \"\"b\"\"\\tF1\", 3\n MENUITEM \"\xC6\xC4\xC0\xCF\", 4\nEND\n",
       ":3:a \"b\"\tF1|E:4:\xC6\xC4\xC0\xCF"},
      // Comments, preprocessor lines, other resources and other menus skipped.
      {"#include <windows.h>\n/* 7 MENU\n */ LANGUAGE 0x12, 0x01\n1 ICON \"a.ico\" // 7 MENU\n"
       "2 TOOLBAR 16, 15\nBEGIN\n BUTTON 5\nEND\n8 MENU\nBEGIN\n MENUITEM \"no\", 9\nEND\n"
       "7 MENU\nBEGIN\n MENUITEM \"yes\", 1\nEND\n",
       "E:1:yes"},
      {"8 MENU\nBEGIN\n MENUITEM \"x\", 1\nEND\n", "!line 5: no menu 7"},
      {"7 MENU\nBEGIN\n MENUITEM \"x\" 1\nEND\n", "!line 3: a comma"},
      {"7 MENU\nBEGIN\n MENUITEM \"x\", IDM_X\nEND\n", "!line 3: a numeric id"},
      {"7 MENU\nBEGIN\n MENUITEM \"x\", 70000\nEND\n", "!line 3: a numeric id"},
      {"7 MENU\nBEGIN\n MENUITEM \"x\", 1, BOLD\nEND\n", "!line 3: unknown option"},
      {"7 MENU\nBEGIN\n MENUITEM \"x, 1\nEND\n", "!line 3: a quoted text"},
      {"7 MENU\nBEGIN\n POPUP \"A\"\n BEGIN\n END\nEND\n", "!line 5: a pop-up without items"},
      {"7 MENU\nBEGIN\n MENUITEM \"x\", 1\n", "!line 4: END expected"},
      {"7 MENU\nBEGIN\n ITEM \"x\", 1\nEND\n", "!line 3: unknown word ITEM"},
      {"7 MENU\nMENUITEM \"x\", 1\n", "!line 2: BEGIN expected"},
      {"7 MENU\nBEGIN\nEND\n", "!line 1: an empty menu"},
      {"", "!line 1: no menu 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    std::vector<std::string> texts;
    std::vector<MenuTemplateItem> items;
    std::string reason;
    const bool ok = ReadMenuScript(c.script, 7, texts, items, &reason);
    if (c.expected[0] == '!') {
      EXPECT_FALSE(ok);
      EXPECT_EQ(reason.rfind(c.expected + 1, 0), 0u) << reason;
    } else {
      ASSERT_TRUE(ok) << reason;
      EXPECT_EQ(Describe(items), c.expected);
    }
  }
}

TEST(MenuScript, SurvivesHostileScripts) {
  std::string longLine = "7 MENU\nBEGIN\n MENUITEM \"" + std::string(100000, 'x') + "\", 1\nEND\n";
  std::vector<std::string> texts;
  std::vector<MenuTemplateItem> items;
  ASSERT_TRUE(ReadMenuScript(longLine, 7, texts, items));
  EXPECT_EQ(std::string(items[0].text).size(), 100000u);
  // Deep nesting and unbalanced blocks end without crashing.
  std::string deep = "7 MENU\n";
  for (int i = 0; i < 2000; ++i) deep += "BEGIN POPUP \"p\"\n";
  std::string reason;
  EXPECT_FALSE(ReadMenuScript(deep, 7, texts, items, &reason));
  EXPECT_NE(reason.find("nested too deep"), std::string::npos) << reason;
  EXPECT_FALSE(ReadMenuScript("1 TOOLBAR 1, 1\nBEGIN\nBEGIN\n", 7, texts, items));
  EXPECT_FALSE(ReadMenuScript(std::string("7 MENU\nBEGIN\n MENUITEM \"\0\", 1\n", 30), 7, texts, items));
}

}  // namespace
}  // namespace tarn::win32
