// tarnview-replay: the engine on the scripted headless machine. Runs in the
// current directory like tarnview, draws the frames the script or --frames
// asks for, and reports the run on stdout.
#include <cstdio>
#include <string>

#include <windows.h>

#include "engine/app/AppGlobals.h"
#include "engine/app/Engine.h"
#include "engine/world/WorldMap.h"
#include "platform/ddraw/DDrawControl.h"
#include "platform/hosts/headless/HeadlessHost.h"

namespace {

// A texture's size for the stats lines; 0 when the surface will not say.
int SurfaceSize(void*, IDirectDrawSurface7* texture, int* width, int* height) {
  if (texture == nullptr) return 0;
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  if (texture->GetSurfaceDesc(&desc) != DD_OK) return 0;
  *width = static_cast<int>(desc.dwWidth);
  *height = static_cast<int>(desc.dwHeight);
  return 1;
}

class ReplaySink : public tarn::ddraw::DisplaySink {
 public:
  ReplaySink(tarn::hosts::HeadlessHost& host, bool stats) : host_(host), stats_(stats) {}
  void Present(const std::uint16_t* pixels, int pitchBytes, int width, int height) override {
    // The world is complete once the first frame is drawn; print it then,
    // before the frame lines of the run.
    if (stats_ && host_.FramesPresented() == 0 && AppEngine)
      PrintWorldStats(stdout, AppEngine->sceneRoot.get(), AppEngine->switches.get(), SurfaceSize, nullptr);
    host_.FramePresented(pixels, pitchBytes, width, height);
  }

 private:
  tarn::hosts::HeadlessHost& host_;
  bool stats_;
};

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "tarnview-replay: %s\n", message.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  tarn::hosts::ReplayOptions options;
  std::string error;
  if (!tarn::hosts::ParseReplayOptions(argc, argv, options, error)) {
    std::fputs(tarn::hosts::ReplayUsage(), stderr);
    return Fail(error, 2);
  }
  if (options.help) {
    std::fputs(tarn::hosts::ReplayUsage(), stdout);
    return 0;
  }
  tarn::hosts::ReplayScript script;
  if (!options.inputPath.empty() && !script.ParseFile(options.inputPath.c_str(), error)) return Fail(error, 2);

  tarn::hosts::HeadlessHost host(options, std::move(script));
  ReplaySink sink(host, options.stats);
  tarn::win32::SetHost(&host);
  tarn::ddraw::SetDisplaySink(&sink);
  host.BeginRun();

  char commandLine[] = "";
  const int status = WinMain(reinterpret_cast<HINSTANCE>(1), nullptr, commandLine, SW_SHOWNORMAL);
  tarn::ddraw::SetDisplaySink(nullptr);
  tarn::win32::SetHost(nullptr);

  if (status != 0) return Fail("the engine could not start (exit status " + std::to_string(status) + "); see Tarn.log", status);
  if (host.FramesPresented() == 0) return Fail("no frame was presented", 1);
  if (!host.Finish(error)) return Fail(error, 1);

  const double seconds = host.Seconds();
  std::printf("frames %lld\n", static_cast<long long>(host.FramesPresented()));
  std::printf("seconds %.3f\n", seconds);
  std::printf("fps %.2f\n", seconds > 0.0 ? static_cast<double>(host.FramesPresented()) / seconds : 0.0);
  std::printf("camera %.4f %.4f %.4f\n", static_cast<double>(FinalCameraPosition.x),
              static_cast<double>(FinalCameraPosition.y), static_cast<double>(FinalCameraPosition.z));
  return 0;
}
