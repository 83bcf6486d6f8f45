// The engine's run on a host: the host becomes the machine under USER and
// DirectInput, the device's primary surface is shown through the host's
// FramePresented, and the system's WinMain runs to its end.
#pragma once

#include <cstdint>

#include <windows.h>

#include "engine/app/Engine.h"
#include "platform/ddraw/DDrawControl.h"
#include "platform/win32/Host.h"

namespace tarn::programs {

// `afterFrame`, when given, runs after each frame has reached the host.
template <class HostType>
int RunEngine(HostType& host, void (*afterFrame)() = nullptr) {
  class Sink final : public ddraw::DisplaySink {
   public:
    Sink(HostType& host, void (*after)()) : host_(host), after_(after) {}
    void Present(const std::uint16_t* pixels, int pitchBytes, int width, int height) override {
      host_.FramePresented(pixels, pitchBytes, width, height);
      if (after_ != nullptr) after_();
    }

   private:
    HostType& host_;
    void (*after_)();
  };
  Sink sink(host, afterFrame);
  win32::SetHost(&host);
  ddraw::SetDisplaySink(&sink);
  char commandLine[] = "";
  const int status = WinMain(reinterpret_cast<HINSTANCE>(1), nullptr, commandLine, SW_SHOWNORMAL);
  ddraw::SetDisplaySink(nullptr);
  win32::SetHost(nullptr);
  return status;
}

}  // namespace tarn::programs
