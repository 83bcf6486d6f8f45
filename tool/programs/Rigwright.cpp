// rigwright: the tool's window on a desktop, over the GTK 3 host (which owns main().
//
// The program reads no command line of its own; for screenshots in tests the
// host takes TARN_SCREENSHOT=<file.png> (and TARN_SCREENSHOT_DELAY in ms).
#include <cstdio>
#include <cstdlib>

#include "platform/hosts/gtk/GtkHost.h"
#include "tool/ToolResources.h"
#include "tool/ToolWindow.h"

int main(int argc, char** argv) {
  if (!tarn::hosts::GtkHost::Initialise(&argc, &argv)) {
    std::fprintf(stderr, "rigwright: no display (try rigwright-batch --help)\n");
    return 1;
  }
  tarn::hosts::GtkHost host;
  host.SetIcon(tarn::tool::IconXpm());
  if (const char* shot = std::getenv("TARN_SCREENSHOT")) {
    const char* delay = std::getenv("TARN_SCREENSHOT_DELAY");
    host.SetScreenshot(shot, delay != nullptr ? std::atoi(delay) : 1000);
  }
  tarn::win32::SetHost(&host);
  int code = WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
  tarn::win32::SetHost(nullptr);
  return code;
}
