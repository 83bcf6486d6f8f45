// tarnview: the engine on a real display (SDL2). Reads nothing from the
// command line; runs in the current directory (tarn.cfg, exam.map).
#include <cstdio>
#include <string>

#include <windows.h>

#include "engine/app/Engine.h"
#include "platform/ddraw/DDrawControl.h"
#include "platform/hosts/sdl/SdlHost.h"

namespace {

class ScreenSink : public tarn::ddraw::DisplaySink {
 public:
  explicit ScreenSink(tarn::hosts::SdlHost& host) : host_(host) {}
  void Present(const std::uint16_t* pixels, int pitchBytes, int width, int height) override {
    host_.FramePresented(pixels, pitchBytes, width, height);
  }

 private:
  tarn::hosts::SdlHost& host_;
};

}  // namespace

int main() {
  tarn::hosts::SdlHost host;
  std::string error;
  if (!host.Start(error)) {
    std::fprintf(stderr, "tarnview: %s\n", error.c_str());
    return 1;
  }
  ScreenSink sink(host);
  tarn::win32::SetHost(&host);
  tarn::ddraw::SetDisplaySink(&sink);
  char commandLine[] = "";
  const int status = WinMain(reinterpret_cast<HINSTANCE>(1), nullptr, commandLine, SW_SHOWNORMAL);
  tarn::ddraw::SetDisplaySink(nullptr);
  tarn::win32::SetHost(nullptr);
  return status;
}
