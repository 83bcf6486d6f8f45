// USER: classes, windows, the message queue and message boxes, over the host.
#include <windows.h>

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage/Cp949.h"
#include "platform/win32/Host.h"
#include "platform/win32/WindowTable.h"

namespace tarn::win32 {
namespace {

struct ClassRecord {
  WNDCLASSEXA info{};
  std::string name;
  std::string menuName;  // copy when the menu is named by a string
};

// Names of classes are compared without regard to case, as the platform does.
std::string Fold(const char* s) {
  std::string out;
  for (; s != nullptr && *s; ++s) out.push_back((*s >= 'A' && *s <= 'Z') ? static_cast<char>(*s + 32) : *s);
  return out;
}

struct UserState {
  std::map<std::string, ClassRecord> classes;
  std::map<std::uintptr_t, std::unique_ptr<WindowRecord>> windows;
  std::deque<MSG> queue;
  std::uintptr_t nextHandle = 0x100;
  HWND focus = nullptr;
  ClassMenuLoader menuLoader = nullptr;
};

UserState& State() {
  static UserState state;
  return state;
}

std::uintptr_t Key(HWND w) { return reinterpret_cast<std::uintptr_t>(w); }

bool Matches(const MSG& m, HWND window, UINT min, UINT max) {
  if (window != nullptr && m.hwnd != window) return false;
  if (min == 0 && max == 0) return true;
  return m.message >= min && m.message <= max;
}

// A window whose client area waits for WM_PAINT, matching the filter.
WindowRecord* PendingPaint(HWND window, UINT min, UINT max) {
  if (!(min == 0 && max == 0) && !(WM_PAINT >= min && WM_PAINT <= max)) return nullptr;
  for (auto& [key, w] : State().windows) {
    if (!w->needsPaint || !w->visible) continue;
    if (window == nullptr || w->handle == window) return w.get();
  }
  return nullptr;
}

bool TakeMessage(LPMSG message, HWND window, UINT min, UINT max, UINT remove) {
  auto& q = State().queue;
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (!Matches(*it, window, min, max)) continue;
    *message = *it;
    if (remove & PM_REMOVE) q.erase(it);
    return true;
  }
  if (WindowRecord* w = PendingPaint(window, min, max)) {
    *message = MSG{w->handle, WM_PAINT, 0, 0, CurrentHost().TickCount(), {0, 0}};
    return true;
  }
  return false;
}

}  // namespace

WindowRecord* FindWindowRecord(HWND window) {
  auto& windows = State().windows;
  auto it = windows.find(Key(window));
  return it == windows.end() ? nullptr : it->second.get();
}

WindowRecord* FirstWindowRecord() {
  auto& windows = State().windows;
  return windows.empty() ? nullptr : windows.begin()->second.get();
}

void SetClassMenuLoader(ClassMenuLoader loader) { State().menuLoader = loader; }

void ResetUser() {
  UserState& s = State();
  s.classes.clear();
  s.windows.clear();
  s.queue.clear();
  s.focus = nullptr;
}

}  // namespace tarn::win32

using namespace tarn::win32;
using tarn::codepage::Cp949ToUtf8;

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (wc == nullptr || wc->lpszClassName == nullptr || wc->lpfnWndProc == nullptr) return 0;
  if (IS_INTRESOURCE(wc->lpszClassName)) return 0;  // atoms as names are not offered
  std::string key = Fold(wc->lpszClassName);
  auto& classes = State().classes;
  if (classes.count(key) != 0) return 0;  // ERROR_CLASS_ALREADY_EXISTS
  ClassRecord record;
  record.info = *wc;
  record.name = wc->lpszClassName;
  if (wc->lpszMenuName != nullptr && !IS_INTRESOURCE(wc->lpszMenuName)) {
    record.menuName = wc->lpszMenuName;
  }
  classes[key] = record;
  auto& stored = classes[key];
  stored.info.lpszClassName = stored.name.c_str();
  if (!stored.menuName.empty()) stored.info.lpszMenuName = stored.menuName.c_str();
  return static_cast<ATOM>(0xC000 + classes.size());
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (wc == nullptr) return 0;
  WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style, wc->lpfnWndProc, wc->cbClsExtra, wc->cbWndExtra,
                 wc->hInstance, wc->hIcon, wc->hCursor, wc->hbrBackground, wc->lpszMenuName,
                 wc->lpszClassName, nullptr};
  return RegisterClassExA(&ex);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (className == nullptr || IS_INTRESOURCE(className)) return FALSE;
  return State().classes.erase(Fold(className)) != 0 ? TRUE : FALSE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* out) {
  if (className == nullptr || out == nullptr || IS_INTRESOURCE(className)) return FALSE;
  auto it = State().classes.find(Fold(className));
  if (it == State().classes.end()) return FALSE;
  const WNDCLASSEXA& i = it->second.info;
  *out = WNDCLASSA{i.style, i.lpfnWndProc, i.cbClsExtra, i.cbWndExtra, i.hInstance, i.hIcon,
                   i.hCursor, i.hbrBackground, i.lpszMenuName, i.lpszClassName};
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (className == nullptr || IS_INTRESOURCE(className)) return nullptr;
  UserState& s = State();
  auto it = s.classes.find(Fold(className));
  if (it == s.classes.end()) return nullptr;
  const ClassRecord& cls = it->second;

  // CW_USEDEFAULT in x places the window at the origin; in width it gives a
  // default size, and the height passed beside it is then ignored.
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = 640;
    height = 480;
  }
  if (height == CW_USEDEFAULT) height = 480;
  if (width < 0) width = 0;
  if (height < 0) height = 0;

  auto record = std::make_unique<WindowRecord>();
  HWND handle = reinterpret_cast<HWND>(s.nextHandle);
  s.nextHandle += 4;
  record->handle = handle;
  record->className = cls.name;
  record->title = windowName != nullptr ? windowName : "";
  record->procedure = cls.info.lpfnWndProc;
  record->instance = instance;
  record->style = style;
  record->exStyle = exStyle;
  record->rect = RECT{x, y, x + width, y + height};
  record->menu = menu;
  if (record->menu == nullptr && cls.info.lpszMenuName != nullptr && s.menuLoader != nullptr)
    record->menu = s.menuLoader(instance, cls.info.lpszMenuName);
  WindowRecord* w = record.get();
  s.windows[Key(handle)] = std::move(record);

  CREATESTRUCTA cs{param, instance, w->menu, parent, height, width, y, x, static_cast<LONG>(style),
                   windowName, className, exStyle};
  LPARAM csParam = reinterpret_cast<LPARAM>(&cs);
  if (SendMessageA(handle, WM_NCCREATE, 0, csParam) == 0 || SendMessageA(handle, WM_CREATE, 0, csParam) == -1) {
    if (FindWindowRecord(handle) != nullptr) {
      SendMessageA(handle, WM_NCDESTROY, 0, 0);
      s.windows.erase(Key(handle));
    }
    return nullptr;
  }
  if (FindWindowRecord(handle) == nullptr) return nullptr;  // destroyed itself while being created
  CurrentHost().WindowCreated(handle, Cp949ToUtf8(w->title), x, y, width, height, style);
  if (style & WS_VISIBLE) {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    ShowWindow(handle, SW_SHOW);
  }
  return handle;
}

BOOL DestroyWindow(HWND window) {
  if (FindWindowRecord(window) == nullptr) return FALSE;
  CurrentHost().WindowDestroyed(window);
  SendMessageA(window, WM_DESTROY, 0, 0);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  UserState& s = State();
  s.windows.erase(Key(window));
  if (s.focus == window) s.focus = nullptr;
  // Messages posted to a window that no longer exists are dropped.
  for (auto it = s.queue.begin(); it != s.queue.end();)
    it = (it->hwnd == window) ? s.queue.erase(it) : it + 1;
  return TRUE;
}

BOOL IsWindow(HWND window) { return FindWindowRecord(window) != nullptr ? TRUE : FALSE; }

BOOL ShowWindow(HWND window, int command) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr) return FALSE;
  const BOOL wasVisible = w->visible ? TRUE : FALSE;
  w->visible = command != SW_HIDE;
  if (w->visible) {
    w->style |= WS_VISIBLE;
    if (!wasVisible) w->needsPaint = true;
    State().focus = window;
  } else {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  }
  CurrentHost().WindowShown(window, command);
  return wasVisible;
}

BOOL UpdateWindow(HWND window) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr) return FALSE;
  if (w->needsPaint && w->visible) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr) return FALSE;
  w->title = text != nullptr ? text : "";
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr || buffer == nullptr || size <= 0) return 0;
  std::size_t n = w->title.size() < static_cast<std::size_t>(size - 1) ? w->title.size() : static_cast<std::size_t>(size - 1);
  std::memcpy(buffer, w->title.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr) return FALSE;
  w->rect = RECT{x, y, x + (cx > 0 ? cx : 0), y + (cy > 0 ? cy : 0)};
  return TRUE;
}

HWND GetActiveWindow() { return State().focus; }
HWND GetFocus() { return State().focus; }
HWND SetFocus(HWND window) {
  HWND previous = State().focus;
  if (FindWindowRecord(window) != nullptr) State().focus = window;
  return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->procedure);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_USERDATA: return w->userData;
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr) return 0;
  LONG_PTR old = GetWindowLongPtrA(window, index);
  switch (index) {
    case GWLP_WNDPROC: w->procedure = reinterpret_cast<WNDPROC>(value); break;
    case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); break;
    case GWLP_ID: w->id = static_cast<LONG>(value); break;
    case GWL_STYLE: w->style = static_cast<DWORD>(value); break;
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); break;
    case GWLP_USERDATA: w->userData = value; break;
    default: return 0;
  }
  return old;
}

// Instance handles are small numbers (the hosts hand out the platform's
// usual 0x400000), so they survive the 32-bit window long unchanged.
LONG GetWindowLongA(HWND window, int index) { return static_cast<LONG>(GetWindowLongPtrA(window, index)); }
LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT:
      if (WindowRecord* w = FindWindowRecord(window)) w->needsPaint = false;
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* w = FindWindowRecord(window);
  if (w == nullptr || w->procedure == nullptr) return 0;
  return w->procedure(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && FindWindowRecord(window) == nullptr) return FALSE;
  State().queue.push_back(MSG{window, message, wParam, lParam, CurrentHost().TickCount(), {0, 0}});
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  State().queue.push_back(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, CurrentHost().TickCount(), {0, 0}});
}

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  if (message == nullptr) return FALSE;
  if (TakeMessage(message, window, filterMin, filterMax, remove)) return TRUE;
  Host& host = CurrentHost();
  host.PumpEvents(0);
  if (TakeMessage(message, window, filterMin, filterMax, remove)) return TRUE;
  int wait = host.IdleWaitMilliseconds();
  if (wait > 0) {
    host.PumpEvents(wait);
    if (TakeMessage(message, window, filterMin, filterMax, remove)) return TRUE;
  }
  return FALSE;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  if (message == nullptr) return -1;
  while (!TakeMessage(message, window, filterMin, filterMax, PM_REMOVE)) CurrentHost().PumpEvents(50);
  return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* message) {
  return message != nullptr && (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) return 0;
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL WaitMessage() {
  MSG m;
  while (!TakeMessage(&m, nullptr, 0, 0, PM_NOREMOVE)) CurrentHost().PumpEvents(50);
  return TRUE;
}

// Cursors and icons are tokens: nothing draws them.
HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<HCURSOR>(IS_INTRESOURCE(name) ? reinterpret_cast<std::uintptr_t>(name) : 32512);
}
HICON LoadIconA(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<HICON>(IS_INTRESOURCE(name) ? reinterpret_cast<std::uintptr_t>(name) : 32512);
}
HCURSOR SetCursor(HCURSOR cursor) { return cursor; }
int ShowCursor(BOOL show) {
  static int count = 0;
  return show ? ++count : --count;
}

int MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type) {
  return CurrentHost().MessageBox(window, Cp949ToUtf8(text != nullptr ? text : ""),
                                  Cp949ToUtf8(caption != nullptr ? caption : "Error"), type);
}
