// The engine's process-wide state: the record, the input devices, the
// overlay picture, the window and the flags the frame loop and the controls
// share. Everything runs on the window's thread; nothing here is locked.
#pragma once

#include <cstdint>
#include <memory>

#include <windows.h>

#include "engine/picture/Image.h"

class Engine;
class InputDevices;

extern HINSTANCE AppInstance;
extern HWND MainWindow;
// Deleted at tear-down in this order: AppEngine, then AppInput.
extern std::unique_ptr<Engine> AppEngine;
extern std::unique_ptr<InputDevices> AppInput;
extern std::unique_ptr<Image> OverlayPicture;
extern std::int32_t AppActive;
extern std::int32_t QuitRequested;
extern const char* StatusText;
extern const char* CentreMark;
extern std::int32_t StatusLock;
extern float MouseTurnScale;
extern std::int32_t PreviousMouseX;

// The control amounts of a frame's input.
namespace control {
inline constexpr float kStep = 0.1f;               // forward, back and sideways, per frame
inline constexpr float kRiseStep = 1.0f;           // Up, per frame
inline constexpr float kBoost = 3.5f;              // added to every step while the right button is held
inline constexpr float kFieldOfView = 0.7853982f;  // 45 degrees
inline constexpr float kZoomFieldOfView = 0.1308997f;  // 7.5 degrees, while Left Shift is held
inline constexpr float kTurnScale = 0.6f;          // degrees of yaw per mouse count
inline constexpr float kZoomTurnScale = 0.016666668f;  // 1/60: the zoomed view turns 36 times slower
}  // namespace control

// Glyphs and texts as the system holds them: code page 949 bytes.
namespace glyph {
inline constexpr const char kFogOff[] = "Fog:Off";
inline constexpr const char kFilledCircle[] = "\xA1\xDC";   // held left button
inline constexpr const char kCircle[] = "\xA1\xDB";         // left button up
inline constexpr const char kCircledDot[] = "\xA2\xC1";     // centre mark, held
inline constexpr const char kBullseye[] = "\xA1\xDD";       // centre mark, up
inline constexpr const char kUpTriangle[] = "\xA1\xE2";
inline constexpr const char kDownTriangle[] = "\xA1\xE4";
inline constexpr const char kLeftTriangle[] = "\xA2\xB7";
inline constexpr const char kRightTriangle[] = "\xA2\xB9";
}  // namespace glyph

// Puts the flags, glyph pointers and turn state back to their values at
// process start (ResetAppGlobals also deletes the owned objects, Engine
// first). Tests that run the engine twice in one process call it between.
void ResetControlGlobals();
void ResetAppGlobals();
