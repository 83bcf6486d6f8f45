// tarnview-replay: the engine on the scripted headless machine. Runs in the
// current directory like tarnview, draws the frames the script or --frames
// asks for, and reports the run on stdout.
#include <cstdio>
#include <string>

#include "TarnVersion.h"
#include "engine/app/AppGlobals.h"
#include "engine/app/Engine.h"
#include "platform/hosts/headless/HeadlessHost.h"
#include "programs/EngineRun.h"
#include "programs/ExitStatus.h"
#include "programs/WorldReport.h"

namespace {

// Where the engine's camera stood when its last frame was shown (or when the
// loop first ran, for a run that shows none).
Vector3 lastCamera{0.0f, 0.0f, 0.0f};

void NoteCamera() {
  if (AppEngine && AppEngine->camera) lastCamera = AppEngine->camera->position;
}

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "tarnview-replay: %s\n", message.c_str());
  return status;
}

int Run(int argc, char** argv) {
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
  if (options.version) {
    std::printf("tarnview-replay %s\n", TARN_VERSION);
    return 0;
  }
  tarn::hosts::ReplayScript script;
  if (!options.inputPath.empty() && !script.ParseFile(options.inputPath.c_str(), error)) return Fail(error, 2);

  tarn::hosts::HeadlessHost host(options, std::move(script));
  // The world has loaded when the frame loop first looks at its queue: the
  // stats come then, before the first frame (with --frames 0 the run ends there).
  host.SetLoopStartHook([stats = options.stats] {
    NoteCamera();
    if (stats && AppEngine) PrintWorldStats(stdout, AppEngine->sceneRoot.get(), AppEngine->switches.get());
  });
  host.BeginRun();
  const int status = tarn::programs::RunEngine(host, NoteCamera);

  if (status != 0) return Fail("the engine could not start (exit status " + std::to_string(status) + "); see Tarn.log", status);
  if (host.FramesPresented() == 0 && host.FramesToDraw() != 0) return Fail("no frame was presented", 1);
  if (!host.Finish(error)) return Fail(error, 1);

  const double seconds = host.Seconds();
  std::printf("frames %lld\n", static_cast<long long>(host.FramesPresented()));
  std::printf("seconds %.3f\n", seconds);
  std::printf("fps %.2f\n", seconds > 0.0 ? static_cast<double>(host.FramesPresented()) / seconds : 0.0);
  std::printf("camera %.4f %.4f %.4f\n", static_cast<double>(lastCamera.x), static_cast<double>(lastCamera.y),
              static_cast<double>(lastCamera.z));
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return tarn::programs::ExitStatus("tarnview-replay", Run(argc, argv)); }
