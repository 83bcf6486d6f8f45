// The engine's flags and control state. The owning globals (AppEngine,
// AppInput, OverlayPicture) are defined beside StartUp, which fills them.
#include "engine/app/AppGlobals.h"

HINSTANCE AppInstance = nullptr;
HWND MainWindow = nullptr;
std::int32_t AppActive = 0;
std::int32_t QuitRequested = 0;
const char* StatusText = glyph::kFogOff;
const char* CentreMark = glyph::kCircledDot;
std::int32_t StatusLock = 0;
float MouseTurnScale = 0.6f;
std::int32_t PreviousMouseX = 0;
Vector3 FinalCameraPosition{0.0f, 0.0f, 0.0f};

void ResetControlGlobals() {
  AppInstance = nullptr;
  MainWindow = nullptr;
  AppActive = 0;
  QuitRequested = 0;
  StatusText = glyph::kFogOff;
  CentreMark = glyph::kCircledDot;
  StatusLock = 0;
  MouseTurnScale = 0.6f;
  PreviousMouseX = 0;
  FinalCameraPosition = Vector3{0.0f, 0.0f, 0.0f};
}
