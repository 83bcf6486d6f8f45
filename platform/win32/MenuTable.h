// Menus behind USER's menu calls, for programs that register their menu
// resources and for hosts that show menu bars. Not part of the Win32 surface.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <windows.h>

namespace tarn::win32 {

// One item of a menu resource, in the resource's own order: an MF_POPUP item
// is followed by its items; MF_END marks the last item of each level. A
// popup's id is not used. Separators are MF_SEPARATOR items without text.
struct MenuTemplateItem {
  WORD flags;
  WORD id;
  const char* text;  // code page 949
};
// Registers menu resource `id` of the program (any instance). The items are
// copied. Returns false for a malformed template (a level without MF_END).
bool RegisterMenuResource(WORD id, const MenuTemplateItem* items, std::size_t count);

struct MenuItem {
  UINT flags = 0;         // MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED ...
  UINT id = 0;            // command identifier (items that are not pop-ups)
  HMENU popup = nullptr;  // MF_POPUP items
  std::string text;       // code page 949; '&' marks the mnemonic
};
// The items of a live menu, or null.
const std::vector<MenuItem>* FindMenuItems(HMENU menu);

}  // namespace tarn::win32
