// rigwright: the tool's window on a desktop, over the GTK 3 host.
//
// Options (the tool itself reads no command line):
//   --screenshot FILE.png   writes a picture of the window once it is shown
//   --screenshot-delay MS   waits that long after showing it (default 1000)
//   --help, --version
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TarnVersion.h"
#include "platform/hosts/gtk/GtkHost.h"
#include "programs/ExitStatus.h"
#include "tool/ToolResources.h"
#include "tool/ToolWindow.h"

namespace {

constexpr char kUsageLine[] = "usage: rigwright [--help] [--version] [--screenshot FILE.png [--screenshot-delay MS]]\n";
constexpr char kUsage[] =
    "usage: rigwright [--screenshot FILE.png [--screenshot-delay MS]]\n"
    "\n"
    "The character tool's window: Load > ASE File, then the Save commands.\n"
    "  --screenshot FILE.png   write a picture of the window once it is shown\n"
    "  --screenshot-delay MS   milliseconds to wait before the picture (default 1000)\n"
    "  --help                  this text\n"
    "  --version               the version\n"
    "For a shell without a desktop, see rigwright-batch --help.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "rigwright: %s\n%s", problem.c_str(), kUsageLine);
  return 2;
}

// Where the display was looked for, for the message that none answered.
std::string DisplayNames() {
  std::string where;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') where += std::string(where.empty() ? "" : ", ") + name + "=" + value;
  }
  return where.empty() ? "DISPLAY is not set" : where;
}

int Run(int argc, char** argv) {
  std::string screenshot;
  int delayMs = 1000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("rigwright %s\n", TARN_VERSION);
      return 0;
    }
    if (arg != "--screenshot" && arg != "--screenshot-delay") return Usage("unknown option '" + arg + "'");
    if (i + 1 >= argc) return Usage(arg + " needs a value");
    if (arg == "--screenshot") {
      screenshot = argv[++i];
    } else {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || value < 0 || value > 600000) return Usage("--screenshot-delay takes 0 to 600000 ms");
      delayMs = static_cast<int>(value);
    }
  }
  if (!tarn::hosts::GtkHost::Initialise(&argc, &argv)) {
    std::fprintf(stderr, "rigwright: no display could be opened (%s); rigwright-batch converts from a shell\n",
                 DisplayNames().c_str());
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

}  // namespace

int main(int argc, char** argv) { return tarn::programs::ExitStatus("rigwright", Run(argc, argv)); }
