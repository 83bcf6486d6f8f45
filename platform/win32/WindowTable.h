// The window table behind USER, for the other stand-ins of this folder
// (menus, painting, GDI on windows) and for hosts. Not part of the Win32
// surface the system sees.
#pragma once

#include <string>

#include <windows.h>

namespace tarn::win32 {

struct WindowRecord {
  HWND handle = nullptr;
  std::string className;
  std::string title;  // code page 949, as the system set it
  WNDPROC procedure = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{0, 0, 0, 0};  // screen position and size
  HMENU menu = nullptr;
  LONG_PTR userData = 0;
  LONG id = 0;
  bool visible = false;
  bool needsPaint = false;  // WM_PAINT is due once the queue is empty
};

// The record of a live window, or null.
WindowRecord* FindWindowRecord(HWND window);
// The first live top-level window (the main window of a program), or null.
WindowRecord* FirstWindowRecord();

// Class menus: CreateWindowExA without a menu loads the class's menu
// resource through this loader, once one is installed (the menu stand-in
// installs itself when it is linked in).
using ClassMenuLoader = HMENU (*)(HINSTANCE instance, LPCSTR menuName);
void SetClassMenuLoader(ClassMenuLoader loader);

// Drops every window, class and queued message (for tests that run several
// programs in one process).
void ResetUser();

}  // namespace tarn::win32
