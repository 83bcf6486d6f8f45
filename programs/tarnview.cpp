// tarnview: the engine on a real display (SDL2).
//
//   tarnview [FOLDER]   enters FOLDER, then runs the engine there; without
//                       it, in the current folder
//   --help, --version
// The engine itself reads no command line: it finds tarn.cfg and exam.map in
// the working directory, which is why the folder is entered before it starts.
#include <cstdio>
#include <cstring>
#include <string>

#include "TarnVersion.h"
#include "platform/hosts/sdl/SdlHost.h"
#include "programs/EngineRun.h"
#include "programs/ExitStatus.h"
#include "programs/WorldFolder.h"

namespace {

constexpr char kUsageLine[] = "usage: tarnview [--help] [--version] [FOLDER]\n";
constexpr char kUsage[] =
    "usage: tarnview [FOLDER]\n"
    "\n"
    "The walk-through engine, full screen. It runs in FOLDER (default: the current\n"
    "folder), which holds the world: tarn.cfg (the screen size) and exam.map. Problems\n"
    "met while loading go to Tarn.log there, and their count and the first one to\n"
    "standard error. For the installed sample, or a folder you cannot write, the log\n"
    "is $XDG_STATE_HOME/tarn/Tarn.log (~/.local/state/tarn/Tarn.log without it).\n"
    "\n"
    "W and S walk forward and back, A and D step left and right; the mouse turns.\n"
    "Up rises, Down steps back, Left and Right step sideways. The right mouse button\n"
    "held makes each step longer, Left Shift zooms in, Q held shows the wireframe,\n"
    "Escape quits.\n"
    "\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "Without a display, tarnview-replay runs the same engine (tarnview-replay --help).\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "tarnview: %s\n%s", problem.c_str(), kUsageLine);
  return 2;
}

int Run(int argc, char** argv) {
  const char* folder = nullptr;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
      if (std::strcmp(arg, "--") == 0) {
        optionsEnded = true;
      } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (std::strcmp(arg, "--version") == 0) {
        std::printf("tarnview %s\n", TARN_VERSION);
        return 0;
      } else {
        return Usage(std::string("unknown option '") + arg + "'");
      }
    } else if (folder == nullptr) {
      folder = arg;
    } else {
      return Usage("one folder at most");
    }
  }
  if (!tarn::programs::EnterWorldFolder("tarnview", folder)) return 1;

  tarn::hosts::SdlHost host;
  std::string error;
  if (!host.Start(error)) {
    std::fprintf(stderr, "tarnview: %s\n", error.c_str());
    return 1;
  }
  tarn::programs::SayIfNoWorld("tarnview");
  return tarn::programs::RunEngine(host);
}

}  // namespace

int main(int argc, char** argv) { return tarn::programs::ExitStatus("tarnview", Run(argc, argv)); }
