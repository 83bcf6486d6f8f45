// The engine record's own operations: initialisation, the camera steps of a
// frame, the scene draw and the HUD text.
#include "engine/app/Engine.h"

#include <cstdio>
#include <cstring>

#include "engine/app/AppGlobals.h"
#include "engine/app/FrameRate.h"
#include "engine/app/InputDevices.h"
#include "engine/app/ScreenConfig.h"

namespace {

// The help lines, code page 949 bytes.
constexpr const char kHelpBoost[] =  // "마우스 오른쪽 버튼 가속"
    "\xB8\xB6\xBF\xEC\xBD\xBA \xBF\xC0\xB8\xA5\xC2\xCA \xB9\xF6\xC6\xB0 \xB0\xA1\xBC\xD3";
constexpr const char kHelpMove[] = "W,A,S,D \xC0\xCC\xB5\xBF";  // "W,A,S,D 이동"
constexpr const char kHelpWireframe[] =                         // "Q 와이어 프레임으로 보기"
    "Q \xBF\xCD\xC0\xCC\xBE\xEE \xC7\xC1\xB7\xB9\xC0\xD3\xC0\xB8\xB7\xCE \xBA\xB8\xB1\xE2";

}  // namespace

Engine::Engine() = default;
Engine::~Engine() = default;

void Engine::Initialise(const char* path, HWND owner) {
  window = owner;
  configPath = path;
  ReadConfig();
  SetUpDevice(screen.right, screen.bottom, owner);
  sceneRoot = std::make_unique<SceneNode>();
  camera = std::make_unique<Camera>();
  switches = std::make_unique<RenderSwitches>();
}

void Engine::ReadConfig() { ReadScreenConfig(configPath, screen); }

void Engine::UpdateCameraTransforms() {
  camera->BuildViewMatrix();
  camera->ApplyView(device);
  camera->ApplyProjection(device);
  // After ApplyProjection: a new field of view reaches the device next frame.
  camera->BuildProjectionMatrix();
}

void Engine::DrawScene() { sceneRoot->DrawTree(device, switches.get(), camera->position); }

void Engine::DrawText(std::int32_t x, std::int32_t y, const char* text) {
  if (renderTarget == nullptr || text == nullptr) return;
  HDC dc = nullptr;
  if (renderTarget->GetDC(&dc) != DD_OK || dc == nullptr) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, textColour);
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
  renderTarget->ReleaseDC(dc);
}

void Engine::DrawNumber(std::int32_t x, std::int32_t y, std::int32_t value) {
  char text[256];
  std::snprintf(text, sizeof text, "%d", value);
  DrawText(x, y, text);
}

void Engine::DrawDecimal(std::int32_t x, std::int32_t y, float value) {
  char text[256];  // "%.2f" of FLT_MAX is 42 characters: it fits
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
  DrawText(x, y, text);
}

void Engine::DrawHud() {
  DrawText(3, 3, "Screen :");
  DrawNumber(60, 3, screen.right);
  DrawNumber(98, 3, screen.bottom);
  DrawDecimal(3, 83, camera->position.x);
  DrawDecimal(60, 83, camera->position.y);
  DrawDecimal(110, 83, camera->position.z);
  DrawText(3, 23, kHelpBoost);
  DrawText(3, 43, kHelpMove);
  DrawText(3, 63, kHelpWireframe);
  // At y 20, over the first help line: the later string paints last.
  DrawText(3, 20, "Frame :");
  DrawFrameRate();
}

float Engine::DrawFrameRate() {
  AdvanceFrameRate(framesPerSecond, frameCount, lastTick);
  char text[kFrameRateText];
  FormatFrameRate(framesPerSecond, text);
  DrawText(55, 20, text);
  return framesPerSecond;
}

void InputDevices::ProcessControls() {
  if (!AppEngine || !AppEngine->camera || !AppEngine->switches) return;
  ApplyControls(*AppEngine->camera, *AppEngine->switches);
}
