// menu-probe: run under Wine beside rigwright.exe. Waits for the tool's
// window and prints its title and whether it has a menu bar, then reads the
// program file's resources in language Korean (1042): menu 101, one item a
// line indented by level ("POPUP text", "ITEM id text", "SEPARATOR"), and
// which of the icon group, the bitmap and the toolbar are there. (Menus
// belong to their process under Wine, so the window's own menu cannot be
// walked from here; the program file's menu 101 is what the class loads.)
//
//   menu-probe RIGWRIGHT.EXE [SECONDS]
//
// Exit status 1 when the window never comes or a resource is missing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr WORD kKorean = MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);

void PrintMenu(HMENU menu, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    std::printf("%*s", depth * 2, "");
    if (HMENU sub = GetSubMenu(menu, i)) {
      std::printf("POPUP %s\n", text);
      PrintMenu(sub, depth + 1);
    } else if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) {
      std::printf("SEPARATOR\n");
    } else {
      std::printf("ITEM %u %s\n", GetMenuItemID(menu, i), text);
    }
  }
}

bool Has(HMODULE module, LPCSTR type, WORD id, const char* what) {
  const bool found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kKorean) != nullptr;
  std::printf("%s %u %s\n", what, id, found ? "present" : "missing");
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: menu-probe RIGWRIGHT.EXE [SECONDS]\n");
    return 2;
  }
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
  HWND window = nullptr;
  for (int i = 0; i < seconds * 10 && window == nullptr; ++i) {
    window = FindWindowA("Rigwright", nullptr);
    if (window == nullptr) Sleep(100);
  }
  if (window == nullptr) {
    std::printf("no window of class Rigwright\n");
    return 1;
  }
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  std::printf("TITLE %s\n", title);
  std::printf("MENU BAR %s\n", GetMenu(window) != nullptr ? "present" : "missing");

  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    std::printf("cannot read %s\n", argv[1]);
    return 1;
  }
  bool ok = Has(module, MAKEINTRESOURCEA(4), 101, "MENU");  // RT_MENU
  ok = Has(module, MAKEINTRESOURCEA(14), 102, "ICON GROUP") && ok;
  ok = Has(module, MAKEINTRESOURCEA(2), 103, "BITMAP") && ok;
  ok = Has(module, MAKEINTRESOURCEA(241), 103, "TOOLBAR") && ok;
  if (HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(101))) {
    PrintMenu(menu, 0);
    DestroyMenu(menu);
  }
  return ok && GetMenu(window) != nullptr ? 0 : 1;
}
