// rigwright: the tool's window on a desktop, over the GTK 3 host.
//
// Options (the tool itself reads no command line):
//   --screenshot FILE.png   writes a picture of the window once it is shown
//   --screenshot-delay MS   waits that long after showing it (default 1000)
//   --help                  the usage text
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/hosts/gtk/GtkHost.h"
#include "tool/ToolResources.h"
#include "tool/ToolWindow.h"

namespace {

constexpr char kUsage[] =
    "usage: rigwright [--screenshot FILE.png [--screenshot-delay MS]]\n"
    "\n"
    "The character tool's window: Load > ASE File, then the Save commands.\n"
    "  --screenshot FILE.png   write a picture of the window once it is shown\n"
    "  --screenshot-delay MS   milliseconds to wait before the picture (default 1000)\n"
    "  --help                  this text\n"
    "For a shell without a desktop, see rigwright-batch --help.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string screenshot;
  int delayMs = 1000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) return Usage();
    if (std::strcmp(argv[i], "--screenshot") == 0) {
      screenshot = argv[++i];
    } else if (std::strcmp(argv[i], "--screenshot-delay") == 0) {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || value < 0 || value > 600000) return Usage();
      delayMs = static_cast<int>(value);
    } else {
      return Usage();
    }
  }
  if (!tarn::hosts::GtkHost::Initialise(&argc, &argv)) {
    std::fprintf(stderr, "rigwright: no display (try rigwright-batch --help)\n");
    return 1;
  }
  tarn::hosts::GtkHost host;
  host.SetIcon(tarn::tool::IconXpm());
  if (!screenshot.empty()) host.SetScreenshot(screenshot, delayMs);
  tarn::win32::SetHost(&host);
  const int code = WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
  tarn::win32::SetHost(nullptr);
  return code;
}
