// Test doubles for the engine's shell: a host that records message boxes
// and runs a scripted clock, and a real window for the input devices.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/dinput/InputSeam.h"
#include "platform/win32/Host.h"

namespace tarn::test {

class RecordingHost : public win32::Host {
 public:
  struct Box {
    std::string text, caption;
    UINT type;
  };
  int MessageBox(HWND, const std::string& text, const std::string& caption, UINT type) override {
    boxes.push_back({text, caption, type});
    return IDOK;
  }
  // Each reading takes the next scripted tick; the last one repeats.
  DWORD TickCount() override {
    if (ticks.empty()) return now;
    now = ticks.front();
    ticks.pop_front();
    return now;
  }
  std::vector<Box> boxes;
  std::deque<DWORD> ticks;
  DWORD now = 0;
};

inline LRESULT TestWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// Sets the host, resets the input machine and makes one window.
class ShellFixture {
 public:
  ShellFixture() {
    win32::SetHost(&host);
    dinput::ResetMachine();
    WNDCLASSA c{};
    c.lpfnWndProc = TestWindowProc;
    c.lpszClassName = "TarnTestWindow";
    RegisterClassA(&c);
    window = CreateWindowExA(0, "TarnTestWindow", "test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
  }
  ~ShellFixture() {
    DestroyWindow(window);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    dinput::ResetMachine();
    win32::SetHost(nullptr);
  }
  RecordingHost host;
  HWND window = nullptr;
};

}  // namespace tarn::test
