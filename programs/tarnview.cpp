// tarnview: the engine on a real display (SDL2). Reads nothing from the
// command line; runs in the current directory (tarn.cfg, exam.map).
#include <cstdio>
#include <string>

#include "platform/hosts/sdl/SdlHost.h"
#include "programs/EngineRun.h"

int main() {
  tarn::hosts::SdlHost host;
  std::string error;
  if (!host.Start(error)) {
    std::fprintf(stderr, "tarnview: %s\n", error.c_str());
    return 1;
  }
  return tarn::programs::RunEngine(host);
}
