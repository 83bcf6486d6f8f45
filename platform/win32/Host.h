// Host: the machine under the Win32 stand-ins. USER asks it to show windows,
// to move input into the message queue and to run message boxes; a host
// (SDL for the engine, GTK for the tool, the headless one for tests) sets
// itself with SetHost before the system's WinMain runs.
//
// Every method has a default that suits a machine without a display, so a
// host overrides only what it offers. Hosts may add methods here, always
// with such a default. Texts reach the host in UTF-8 (converted from code
// page 949 by USER).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

namespace tarn::win32 {

class Host {
 public:
  virtual ~Host() = default;

  // A top-level window was created / shown (ShowWindow's command) / destroyed.
  virtual void WindowCreated(HWND, const std::string& titleUtf8, int x, int y, int width, int height, DWORD style) {
    (void)titleUtf8, (void)x, (void)y, (void)width, (void)height, (void)style;
  }
  virtual void WindowShown(HWND, int command) { (void)command; }
  virtual void WindowDestroyed(HWND) {}
  // The window's client area should be painted again (InvalidateRect).
  virtual void WindowInvalidated(HWND) {}

  // Moves what happened on the machine into the message queue (with
  // PostMessageA) and returns. With waitMilliseconds > 0 it may block up to
  // that long for the first event; 0 never blocks.
  virtual void PumpEvents(int waitMilliseconds) { (void)waitMilliseconds; }
  // How long PeekMessageA may wait for an event when the queue is empty. A
  // host for a program that polls without ever waiting (the tool) returns a
  // few milliseconds so that an idle program does not burn a processor; the
  // engine's hosts return 0, since its frames are drawn while no message waits.
  virtual int IdleWaitMilliseconds() { return 0; }

  // A modal message box; returns the button pressed (IDOK, IDCANCEL, ...).
  // The default writes the box to stderr and answers IDOK.
  virtual int MessageBox(HWND, const std::string& textUtf8, const std::string& captionUtf8, UINT type);

  // A modal open or save dialog (GetOpenFileNameA / GetSaveFileNameA). On OK
  // the host stores the chosen file's path (UTF-8; absolute, or relative to
  // the working directory) and returns true; cancel returns false. The
  // default, a machine without a display, cancels.
  struct FileDialogRequest {
    bool save = false;
    std::string titleUtf8;
    std::vector<std::pair<std::string, std::string>> filtersUtf8;  // description, pattern(s) "*.a;*.b"
    int filterIndex = 1;                                           // 1-based, as OPENFILENAMEA's
    std::string initialNameUtf8;                                   // empty when the preset was a pattern
    std::string defaultExtension;                                  // without the dot; may be empty
    bool fileMustExist = false;
  };
  virtual bool FileDialog(HWND owner, const FileDialogRequest& request, std::string* chosenPathUtf8) {
    (void)owner, (void)request, (void)chosenPathUtf8;
    return false;
  }
  // The window's menu bar was set or changed (SetMenu, DrawMenuBar).
  virtual void MenuBarChanged(HWND) {}

  // Milliseconds since some fixed point (GetTickCount); a host may run a
  // virtual clock. The default is the system's monotonic clock.
  virtual DWORD TickCount();
};

// The host in charge; never null (a default Host stands in until one is set).
Host& CurrentHost();
// Sets the host (not owned); null restores the default.
void SetHost(Host* host);

}  // namespace tarn::win32
