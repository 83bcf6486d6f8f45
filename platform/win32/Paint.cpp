// BeginPaint / EndPaint / InvalidateRect (winuser_paint.h).
#include <cstring>

#include <windows.h>

#include "platform/win32/Host.h"
#include "platform/win32/PaintHooks.h"
#include "platform/win32/WindowTable.h"

namespace tarn::win32 {
namespace {
WindowDcProvider dcProvider = nullptr;
WindowDcRelease dcRelease = nullptr;
}  // namespace

void SetWindowDcProvider(WindowDcProvider provider, WindowDcRelease release) {
  dcProvider = provider;
  dcRelease = release;
}

}  // namespace tarn::win32

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  auto* w = tarn::win32::FindWindowRecord(window);
  if (w == nullptr || paint == nullptr) return nullptr;
  std::memset(paint, 0, sizeof *paint);
  w->needsPaint = false;
  GetClientRect(window, &paint->rcPaint);
  paint->fErase = TRUE;
  paint->hdc = tarn::win32::dcProvider != nullptr ? tarn::win32::dcProvider(window) : nullptr;
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (tarn::win32::FindWindowRecord(window) == nullptr || paint == nullptr) return FALSE;
  if (paint->hdc != nullptr && tarn::win32::dcRelease != nullptr) tarn::win32::dcRelease(window, paint->hdc);
  return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  auto* w = tarn::win32::FindWindowRecord(window);
  if (w == nullptr) return FALSE;
  w->needsPaint = true;
  tarn::win32::CurrentHost().WindowInvalidated(window);
  return TRUE;
}
