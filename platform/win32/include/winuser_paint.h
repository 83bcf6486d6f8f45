// USER painting: BeginPaint, EndPaint, InvalidateRect.
//
// BeginPaint validates the window's client area (no further WM_PAINT is due)
// and hands out the paint DC from the provider that GDI installs
// (platform/win32/PaintHooks.h); without GDI the DC is null, which callers
// test as the platform tells them to. The paint rectangle is the whole
// client area; fErase is TRUE. Not implemented: update regions smaller than
// the client area, ValidateRect, WM_ERASEBKGND from BeginPaint.
#pragma once

#include "windef.h"

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
