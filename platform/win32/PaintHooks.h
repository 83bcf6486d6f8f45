// The seam between USER's painting calls and GDI: GDI installs a provider
// that gives a window's paint DC (over the host's client-area buffer) and
// takes it back in EndPaint. Not part of the Win32 surface.
#pragma once

#include <windows.h>

namespace tarn::win32 {

using WindowDcProvider = HDC (*)(HWND window);
using WindowDcRelease = void (*)(HWND window, HDC dc);
// Null arguments remove the provider (BeginPaint then gives a null DC).
void SetWindowDcProvider(WindowDcProvider provider, WindowDcRelease release);

}  // namespace tarn::win32
