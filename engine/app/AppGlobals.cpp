// The engine's flags and control state. The owning globals (AppEngine,
// AppInput, OverlayPicture) are defined beside StartUp, which fills them.
#include "engine/app/AppGlobals.h"

HINSTANCE AppInstance;
HWND MainWindow;
std::int32_t AppActive;
std::int32_t QuitRequested;
const char* StatusText;
const char* CentreMark;
std::int32_t StatusLock;
float MouseTurnScale;
std::int32_t PreviousMouseX;

// The one place that states the values at process start: the definitions
// above take them from here before main runs.
void ResetControlGlobals() {
  AppInstance = nullptr;
  MainWindow = nullptr;
  AppActive = 0;
  QuitRequested = 0;
  StatusText = glyph::kFogOff;
  CentreMark = glyph::kCircledDot;
  StatusLock = 0;
  MouseTurnScale = control::kTurnScale;
  PreviousMouseX = 0;
}

namespace {
const bool kControlGlobalsSet = (ResetControlGlobals(), true);
}  // namespace
