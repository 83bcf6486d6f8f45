// USER menus: menu bars and pop-up menus built by calls or loaded from a
// menu resource of the program (see platform/win32/MenuTable.h for how a
// program registers its resources and how hosts read a menu).
//
// Implemented: CreateMenu, CreatePopupMenu, AppendMenuA (MF_STRING,
// MF_POPUP, MF_SEPARATOR, MF_GRAYED/MF_DISABLED, MF_CHECKED), LoadMenuA,
// SetMenu, GetMenu, DrawMenuBar, DestroyMenu (with its pop-ups),
// GetMenuItemCount, GetSubMenu, GetMenuItemID, GetMenuStringA, GetMenuState.
// CreateWindowExA without a menu loads its class's menu resource.
// Not implemented: owner-drawn and bitmap items, InsertMenu/ModifyMenu,
// TrackPopupMenu, accelerators. A handle that names no menu fails (0/FALSE/-1).
#pragma once

#include "windef.h"

#define MF_STRING 0x00000000L
#define MF_BYCOMMAND 0x00000000L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_CHECKED 0x00000008L
#define MF_POPUP 0x00000010L
#define MF_END 0x00000080L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCSTR text);
HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
BOOL DrawMenuBar(HWND window);
BOOL DestroyMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);
HMENU GetSubMenu(HMENU menu, int position);
UINT GetMenuItemID(HMENU menu, int position);
int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
