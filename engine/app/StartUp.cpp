// Start-up: the engine record, the input devices, the world and the empty
// overlay picture; and the owners of those objects.
#include "engine/app/AppGlobals.h"
#include "engine/app/Engine.h"
#include "engine/app/InputDevices.h"
#include "engine/log/TarnLog.h"
#include "engine/world/WorldMap.h"

std::unique_ptr<Engine> AppEngine;
std::unique_ptr<InputDevices> AppInput;
std::unique_ptr<Image> OverlayPicture;

namespace {

// The world's textures come from the engine's device; its meshes live as
// long as the process.
int LoadWorldMap(const char* path, SceneNode* root, RenderSwitches* switches, EngineDevice* device) {
  WorldServices services;
  services.context = device;
  services.createTexture = [](void* context, Image& picture, IDirectDrawSurface7** texture) {
    return static_cast<int>(static_cast<EngineDevice*>(context)->CreateTexture(picture, texture));
  };
  return LoadWorldMap(path, root, switches, services, ProcessWorld());
}

}  // namespace

void StartUp(HWND window) {
  AppEngine = std::make_unique<Engine>();
  AppInput = std::make_unique<InputDevices>();
  AppEngine->Initialise("tarn.cfg", window);
  // A device that did not come up ends the program (WinMain looks); the
  // rest would only load a world nobody can see.
  if (!AppEngine->DeviceReady()) return;
  AppInput->Create(window, 1, 1);
  LoadWorldMap("exam.map", AppEngine->sceneRoot.get(), AppEngine->switches.get(), AppEngine.get());
  // A world that loads as grey says why on the terminal, not only in the log.
  SayLoadProblems(stderr);
  OverlayPicture = std::make_unique<Image>();
}

void ResetAppGlobals() {
  AppEngine.reset();
  AppInput.reset();
  OverlayPicture.reset();
  ResetControlGlobals();
}
