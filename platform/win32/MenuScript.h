// Menu resources read from a resource script (.rc), so that the Linux
// programs show the menu that windres compiles into the Windows programs.
//
// Read: `<id> MENU` blocks with BEGIN/END or braces, POPUP "text", MENUITEM
// "text", id, MENUITEM SEPARATOR, and the item options GRAYED, INACTIVE and
// CHECKED. Strings are the script's bytes (code page 949), with "" for a
// quote and the escapes \t, \\ and \". Skipped: comments, preprocessor
// lines, LANGUAGE and every other resource (a statement of one line, with
// its BEGIN/END block if one follows). Not read: MENUEX, symbolic ids.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/MenuTable.h"

namespace tarn::win32 {

// The items of menu `id` in the order RegisterMenuResource takes them. The
// returned items point into `texts`, which must outlive them. Returns false
// (with a reason naming the line) when the script holds no menu `id` or
// that menu is malformed (an unknown word, a missing id, an open block, an
// empty pop-up, pop-ups nested more than 16 deep).
bool ReadMenuScript(std::string_view script, WORD id, std::vector<std::string>& texts,
                    std::vector<MenuTemplateItem>& items, std::string* reason = nullptr);

// ReadMenuScript, then RegisterMenuResource.
bool RegisterMenuScript(std::string_view script, WORD id, std::string* reason = nullptr);

}  // namespace tarn::win32
