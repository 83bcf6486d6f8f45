// tarnview-replay: the engine on the scripted headless machine. Runs in the
// current directory like tarnview, draws the frames the script or --frames
// asks for, and reports the run on stdout (on stderr when --export writes to
// standard output, so that the report never lands in the file).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "TarnVersion.h"
#include "engine/app/AppGlobals.h"
#include "engine/app/Engine.h"
#include "engine/world/WorldMap.h"
#include "export/WorldExport.h"
#include "export/WorldPictures.h"
#include "platform/hosts/headless/HeadlessHost.h"
#include "programs/EngineRun.h"
#include "programs/ExitStatus.h"
#include "programs/WorldFolder.h"
#include "programs/WorldReport.h"

namespace {

// Where the engine's camera stood when its last frame was shown (or when the
// loop first ran, for a run that shows none).
Vector3 lastCamera{0.0f, 0.0f, 0.0f};

void NoteCamera() {
  if (AppEngine && AppEngine->camera) lastCamera = AppEngine->camera->position;
}

// True when `path` is the file standard output goes to (/dev/stdout, or the
// file a shell redirected it into): the report then goes to standard error,
// so that it never lands inside the GLB.
bool IsStandardOutput(const std::string& path) {
  struct stat file {}, out {};
  return !path.empty() && ::stat(path.c_str(), &file) == 0 && ::fstat(1, &out) == 0 && file.st_dev == out.st_dev &&
         file.st_ino == out.st_ino;
}

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "tarnview-replay: %s\n", message.c_str());
  return status;
}

// The loaded world as glTF; false (said on stderr) when the file was not made.
bool ExportWorld(const std::string& path, const tarn::exporter::WorldPictures& pictures) {
  if (!AppEngine) return true;
  tarn::exporter::WorldSource source;
  source.root = AppEngine->sceneRoot.get();
  source.switches = AppEngine->switches.get();
  source.pictures = &pictures;
  source.camera = AppEngine->camera.get();
  source.device = AppEngine->device;
  source.world = &ProcessWorld();
  source.screenWidth = static_cast<std::int32_t>(AppEngine->screen.right - AppEngine->screen.left);
  source.screenHeight = static_cast<std::int32_t>(AppEngine->screen.bottom - AppEngine->screen.top);
  source.generator = std::string("tarnview-replay ") + TARN_VERSION;
  tarn::gltf::Counts counts;
  std::string error;
  if (!tarn::exporter::ExportWorld(source, path, counts, error)) {
    Fail("--export: " + error, 1);
    return false;
  }
  return true;
}

// --unlit: no fog and white ambient light, so each pixel is its texel times
// the white material, as a glTF viewer draws the export with unlit
// materials. The engine sets its states once, when it makes the device, so
// changing them before the first frame holds for the whole run.
void DrawUnlit() {
  if (!AppEngine || !AppEngine->device) return;
  AppEngine->device->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE);
  AppEngine->device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
}

// A relative path made absolute against the working folder of now.
std::string FromStart(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return path;
  return std::string(buffer) + "/" + path;
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
  // What the options name is taken from where the program started, before
  // it enters the world's folder.
  if (!options.folder.empty()) {
    for (std::string* path : {&options.shotPath, &options.shotsDir, &options.exportPath}) *path = FromStart(*path);
  }
  if (!tarn::programs::EnterWorldFolder("tarnview-replay", options.folder.empty() ? nullptr : options.folder.c_str()))
    return 1;
  tarn::programs::SayIfNoWorld("tarnview-replay");

  // The export reads each texture's picture file again: the loader tells it
  // which file each entry came from.
  tarn::exporter::WorldPictures pictures;
  if (!options.exportPath.empty()) SetPictureObserver(&pictures);
  std::FILE* report = IsStandardOutput(options.exportPath) ? stderr : stdout;

  tarn::hosts::HeadlessHost host(options, std::move(script));
  // The world has loaded when the frame loop first looks at its queue: the
  // stats come then, before the first frame (with --frames 0 the run ends there).
  // The export comes at the same point, so it holds what the stats count.
  bool exported = true;
  host.SetLoopStartHook([stats = options.stats, unlit = options.unlit, &exportPath = options.exportPath, &exported,
                         &pictures, report] {
    NoteCamera();
    if (stats && AppEngine) PrintWorldStats(report, AppEngine->sceneRoot.get(), AppEngine->switches.get());
    if (!exportPath.empty()) exported = ExportWorld(exportPath, pictures);
    if (unlit) DrawUnlit();
  });
  host.BeginRun();
  const int status = tarn::programs::RunEngine(host, NoteCamera);
  SetPictureObserver(nullptr);

  if (status != 0) return Fail("the engine could not start (exit status " + std::to_string(status) + "); see Tarn.log", status);
  if (host.FramesPresented() == 0 && host.FramesToDraw() != 0) return Fail("no frame was presented", 1);
  if (!host.Finish(error)) return Fail(error, 1);
  if (!exported) return 1;

  const double seconds = host.Seconds();
  std::fprintf(report, "frames %lld\n", static_cast<long long>(host.FramesPresented()));
  std::fprintf(report, "seconds %.3f\n", seconds);
  std::fprintf(report, "fps %.2f\n", seconds > 0.0 ? static_cast<double>(host.FramesPresented()) / seconds : 0.0);
  std::fprintf(report, "camera %.4f %.4f %.4f\n", static_cast<double>(lastCamera.x), static_cast<double>(lastCamera.y),
              static_cast<double>(lastCamera.z));
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return tarn::programs::ExitStatus("tarnview-replay", Run(argc, argv)); }
