// USER menus (winuser_menu.h) and the program's menu resources (MenuTable.h).
#include <cstring>
#include <map>
#include <memory>

#include <windows.h>

#include "platform/win32/Host.h"
#include "platform/win32/MenuTable.h"
#include "platform/win32/WindowTable.h"

namespace tarn::win32 {
namespace {

struct MenuRecord {
  bool popup = false;
  std::vector<MenuItem> items;
};

struct MenuState {
  std::map<std::uintptr_t, MenuRecord> menus;
  std::uintptr_t next = 0x10000;
  std::map<WORD, std::vector<MenuTemplateItem>> resources;
  std::vector<std::unique_ptr<std::string>> texts;  // owns registered texts
};

MenuState& Menus() {
  static MenuState state;
  return state;
}

MenuRecord* Find(HMENU menu) {
  auto it = Menus().menus.find(reinterpret_cast<std::uintptr_t>(menu));
  return it == Menus().menus.end() ? nullptr : &it->second;
}

HMENU NewMenu(bool popup) {
  MenuState& s = Menus();
  std::uintptr_t key = s.next;
  s.next += 4;
  s.menus[key].popup = popup;
  return reinterpret_cast<HMENU>(key);
}

// Builds one level of a template from position i; false when the level
// runs out before its MF_END item.
bool BuildLevel(HMENU menu, const std::vector<MenuTemplateItem>& items, std::size_t& i) {
  while (i < items.size()) {
    const MenuTemplateItem& item = items[i++];
    const char* text = item.text != nullptr ? item.text : "";
    if (item.flags & MF_POPUP) {
      HMENU sub = CreatePopupMenu();
      if (!BuildLevel(sub, items, i)) return false;
      AppendMenuA(menu, MF_POPUP | (item.flags & (MF_GRAYED | MF_DISABLED)), reinterpret_cast<UINT_PTR>(sub), text);
    } else if (item.flags & MF_SEPARATOR || (item.id == 0 && *text == '\0')) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuA(menu, item.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED), item.id, text);
    }
    if (item.flags & MF_END) return true;
  }
  return false;
}

HMENU LoadClassMenu(HINSTANCE instance, LPCSTR name) { return LoadMenuA(instance, name); }

// Installs the class menu loader as soon as the menu stand-in is linked.
const bool installed = (SetClassMenuLoader(&LoadClassMenu), true);

const MenuItem* ItemAt(HMENU menu, UINT item, UINT flags) {
  MenuRecord* m = Find(menu);
  if (m == nullptr) return nullptr;
  if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
  for (const MenuItem& it : m->items) {
    if (!(it.flags & MF_POPUP) && !(it.flags & MF_SEPARATOR) && it.id == item) return &it;
    if (it.flags & MF_POPUP)
      if (const MenuItem* found = ItemAt(it.popup, item, flags)) return found;
  }
  return nullptr;
}

}  // namespace

bool RegisterMenuResource(WORD id, const MenuTemplateItem* items, std::size_t count) {
  (void)installed;
  if (items == nullptr || count == 0) return false;
  MenuState& s = Menus();
  std::vector<MenuTemplateItem> copy;
  for (std::size_t i = 0; i < count; ++i) {
    s.texts.push_back(std::make_unique<std::string>(items[i].text != nullptr ? items[i].text : ""));
    copy.push_back({items[i].flags, items[i].id, s.texts.back()->c_str()});
  }
  HMENU probe = CreateMenu();
  std::size_t i = 0;
  bool ok = BuildLevel(probe, copy, i);
  DestroyMenu(probe);
  if (!ok) return false;
  s.resources[id] = std::move(copy);
  return true;
}

const std::vector<MenuItem>* FindMenuItems(HMENU menu) {
  MenuRecord* m = Find(menu);
  return m != nullptr ? &m->items : nullptr;
}

}  // namespace tarn::win32

using tarn::win32::Find;

HMENU CreateMenu() { return tarn::win32::NewMenu(false); }
HMENU CreatePopupMenu() { return tarn::win32::NewMenu(true); }

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCSTR text) {
  auto* m = Find(menu);
  if (m == nullptr) return FALSE;
  tarn::win32::MenuItem item;
  item.flags = flags & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_CHECKED);
  if (flags & MF_POPUP) {
    HMENU sub = reinterpret_cast<HMENU>(idOrPopup);
    if (Find(sub) == nullptr || sub == menu) return FALSE;
    item.popup = sub;
  } else {
    item.id = static_cast<UINT>(idOrPopup);
  }
  if (!(flags & MF_SEPARATOR) && text != nullptr) item.text = text;
  m->items.push_back(std::move(item));
  return TRUE;
}

HMENU LoadMenuA(HINSTANCE, LPCSTR name) {
  if (name == nullptr || !IS_INTRESOURCE(name)) return nullptr;  // named resources: none
  WORD id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
  auto& resources = tarn::win32::Menus().resources;
  auto it = resources.find(id);
  if (it == resources.end()) return nullptr;
  HMENU menu = CreateMenu();
  std::size_t i = 0;
  tarn::win32::BuildLevel(menu, it->second, i);
  return menu;
}

BOOL SetMenu(HWND window, HMENU menu) {
  auto* w = tarn::win32::FindWindowRecord(window);
  if (w == nullptr || (menu != nullptr && Find(menu) == nullptr)) return FALSE;
  w->menu = menu;
  tarn::win32::CurrentHost().MenuBarChanged(window);
  return TRUE;
}

HMENU GetMenu(HWND window) {
  auto* w = tarn::win32::FindWindowRecord(window);
  return w != nullptr ? w->menu : nullptr;
}

BOOL DrawMenuBar(HWND window) {
  if (tarn::win32::FindWindowRecord(window) == nullptr) return FALSE;
  tarn::win32::CurrentHost().MenuBarChanged(window);
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
  auto* m = Find(menu);
  if (m == nullptr) return FALSE;
  std::vector<HMENU> popups;
  for (auto& item : m->items)
    if (item.popup != nullptr) popups.push_back(item.popup);
  tarn::win32::Menus().menus.erase(reinterpret_cast<std::uintptr_t>(menu));
  for (HMENU p : popups) DestroyMenu(p);
  return TRUE;
}

int GetMenuItemCount(HMENU menu) {
  auto* m = Find(menu);
  return m != nullptr ? static_cast<int>(m->items.size()) : -1;
}

HMENU GetSubMenu(HMENU menu, int position) {
  auto* m = Find(menu);
  if (m == nullptr || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return nullptr;
  return m->items[position].popup;
}

UINT GetMenuItemID(HMENU menu, int position) {
  auto* m = Find(menu);
  if (m == nullptr || position < 0 || static_cast<std::size_t>(position) >= m->items.size()) return 0xFFFFFFFFu;
  const auto& item = m->items[position];
  return item.flags & MF_POPUP ? 0xFFFFFFFFu : item.id;
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags) {
  const tarn::win32::MenuItem* it = tarn::win32::ItemAt(menu, item, flags);
  if (it == nullptr) return 0;
  int n = static_cast<int>(it->text.size());
  if (buffer == nullptr || size <= 0) return n;
  if (n > size - 1) n = size - 1;
  std::memcpy(buffer, it->text.data(), static_cast<std::size_t>(n));
  buffer[n] = '\0';
  return n;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  const tarn::win32::MenuItem* it = tarn::win32::ItemAt(menu, item, flags);
  if (it == nullptr) return 0xFFFFFFFFu;
  if (it->flags & MF_POPUP) {
    int count = GetMenuItemCount(it->popup);
    return (static_cast<UINT>(count) << 8) | (it->flags & 0xFF);
  }
  return it->flags;
}
