// Engine: the run-time record of the engine. The device half (interfaces,
// screen, locked render target and their operations) comes from
// EngineDevice; this half adds the camera, the scene, the switches, the
// frame statistics and the HUD text.
//
// Ownership: the camera, the scene root and the switches are owned here and
// freed with the Engine (after the HUD state, before the device interfaces
// that EngineDevice's destructor releases), so the switches give up their
// textures while the device still exists.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/render/EngineDevice.h"
#include "engine/scene/Camera.h"
#include "engine/scene/RenderSwitches.h"
#include "engine/scene/SceneNode.h"

class Engine : public EngineDevice {
 public:
  Engine();
  ~Engine();

  // Stores the window and path, reads the configuration, sets up the device
  // and creates the scene root, the camera and the switches.
  void Initialise(const char* path, HWND owner);
  // The configuration into screen (choices in ScreenConfig.h).
  void ReadConfig();

  // The frame's camera steps: view built and applied, projection applied,
  // then rebuilt for the next frame.
  void UpdateCameraTransforms();
  void DrawScene();

  // Text on the render target through its device context, one GetDC /
  // ReleaseDC pair per string; a failed GetDC leaves the string undrawn.
  void DrawText(std::int32_t x, std::int32_t y, const char* text);
  void DrawNumber(std::int32_t x, std::int32_t y, std::int32_t value);
  void DrawDecimal(std::int32_t x, std::int32_t y, float value);
  void DrawHud();
  float DrawFrameRate();

  float framesPerSecond = 0.0f;
  std::int32_t frameCount = 0;
  std::uint32_t lastTick = 0;
  std::unique_ptr<Camera> camera;
  std::unique_ptr<SceneNode> sceneRoot;
  std::unique_ptr<RenderSwitches> switches;
  const char* configPath = nullptr;
};

// Start-up, the window and the frame loop (engine/app/StartUp.cpp,
// engine/app/MainWindow.cpp).
void StartUp(HWND window);
std::int32_t CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void RenderFrame();
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
