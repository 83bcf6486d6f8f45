// The GTK 3 host: the machine under a windowed program (the tool).
//
// Implemented:
//   - each top-level window becomes a GtkWindow titled as the window, sized
//     as created, with a menu bar built from the window's HMENU (rebuilt on
//     SetMenu/DrawMenuBar) above its client area; a menu item posts
//     WM_COMMAND with its identifier; mnemonics ('&') become GTK's;
//   - keys reach the window as WM_KEYDOWN/WM_KEYUP with virtual keys (Esc,
//     Return, Tab, Back, Space, arrows, F1 to F12, letters, digits); closing
//     the window posts WM_CLOSE, which DefWindowProcA turns into DestroyWindow;
//   - the client area is a 5-6-5 buffer the size of the drawing area; BeginPaint
//     hands out a GDI DC over it (platform/win32/PaintHooks.h) and EndPaint
//     shows it; a new size clears it to white and makes WM_PAINT due;
//   - real message boxes (gtk_message_dialog), their text broken into lines
//     at blanks only (BoxText.h), and real open and save dialogs
//     (GtkFileChooserDialog) with the filters, title, preset name and folder
//     of the request;
//   - while the queue is empty, PeekMessageA waits up to 10 ms for an event,
//     so an idle program does not burn a processor;
//   - SIGINT, SIGTERM and SIGHUP (those not ignored at the start) cancel a
//     running dialog and post WM_CLOSE to every window, so the program ends
//     through its own quit path, as before any output was written; a second
//     signal, if the first has not ended it, ends the process at once
//     (platform/hosts/signals/QuitSignals.h).
// Not implemented: child windows, mouse messages, timers, the clipboard.
#pragma once

#include <memory>

#include "platform/win32/Host.h"

namespace tarn::hosts {

class GtkHost : public win32::Host {
 public:
  // Calls gtk_disable_setlocale (so that printf's "%f" keeps its '.') and
  // gtk_init. False when there is no display.
  static bool Initialise(int* argc, char*** argv);

  GtkHost();
  ~GtkHost() override;

  // An XPM picture for every window's icon (not owned; kept as given).
  void SetIcon(const char* const* xpm) { iconXpm_ = xpm; }
  // Saves the first window as PNG after it has been shown for `delayMs`
  // (for screenshots in tests); empty path: never.
  void SetScreenshot(const std::string& path, int delayMs) {
    screenshotPath_ = path;
    screenshotDelay_ = delayMs;
  }

  void WindowCreated(HWND, const std::string& titleUtf8, int x, int y, int width, int height, DWORD style) override;
  void WindowShown(HWND, int command) override;
  void WindowDestroyed(HWND) override;
  void WindowInvalidated(HWND) override;
  void MenuBarChanged(HWND) override;
  void PumpEvents(int waitMilliseconds) override;
  int IdleWaitMilliseconds() override { return 10; }
  int MessageBox(HWND, const std::string& textUtf8, const std::string& captionUtf8, UINT type) override;
  bool FileDialog(HWND owner, const FileDialogRequest& request, std::string* chosenPathUtf8) override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
  const char* const* iconXpm_ = nullptr;
  std::string screenshotPath_;
  int screenshotDelay_ = 0;
};

}  // namespace tarn::hosts
