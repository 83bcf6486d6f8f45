// The keyboard and mouse through DirectInput 7, and the control mapping.
#include "engine/app/InputDevices.h"

#include <cstring>

#include "engine/app/AppGlobals.h"
#include "engine/scene/Camera.h"
#include "engine/scene/RenderSwitches.h"

namespace {

constexpr DWORD kCooperativeLevel = DISCL_EXCLUSIVE | DISCL_FOREGROUND;  // 5
constexpr double kPi = 3.141592653589793;

// Scan codes the mapping reads.
constexpr int kEscape = 1, kQ = 16, kW = 17, kA = 30, kS = 31, kD = 32, kLeftShift = 42;
constexpr int kUp = 200, kLeft = 203, kRight = 205, kDown = 208;

void UnacquireAndRelease(IDirectInputDeviceA*& device) {
  if (device == nullptr) return;
  device->Unacquire();
  device->Release();
  device = nullptr;
}

// Mouse counts add up over a whole run; wrap instead of overflowing.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
// a - b, wrapping: -b itself overflows for b = -2147483648.
std::int32_t WrappingSub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace

InputDevices::~InputDevices() { Release(); }

bool InputDevices::OpenDevice(const GUID& which, const DIDATAFORMAT& format, IDirectInputDeviceA*& device,
                              const char* createFailed, const char* formatFailed, const char* levelFailed) {
  if (directInput->CreateDevice(which, &device, nullptr) != DI_OK) return ReportFailure(createFailed), false;
  if (device->SetDataFormat(&format) != DI_OK) return ReportFailure(formatFailed), false;
  if (device->SetCooperativeLevel(window, kCooperativeLevel) != DI_OK) return ReportFailure(levelFailed), false;
  device->Acquire();
  return true;
}

std::int32_t InputDevices::Create(HWND owner, std::int32_t wantKeyboard, std::int32_t wantMouse) {
  window = owner;
  useKeyboard = wantKeyboard;
  useMouse = wantMouse;
  // The instance is stored as a window long; on a 64-bit build it comes back
  // through the pointer-sized call so that it is not cut to 32 bits.
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  if (DirectInputCreateA(instance, 0x0700, &directInput, nullptr) != DI_OK)
    return ReportFailure("DirectInputCreate() failed");
  if (useKeyboard &&
      !OpenDevice(GUID_SysKeyboard, c_dfDIKeyboard, keyboard, "CreateDevice() failed : KeyBoard",
                  "SetDataFormat() failed : KeyBoard", "SetCooperativeLevel() failed : KeyBoard"))
    return 0;
  if (useMouse && !OpenDevice(GUID_SysMouse, c_dfDIMouse, mouse, "CreateDevice() failed : Mouse",
                              "SetDataFormat() faield : Mouse", "SetCooperativeLevel() failed : Mouse"))
    return 0;
  return 1;
}

std::int32_t InputDevices::ReportFailure(const char* message) {
  if (directInput != nullptr) {
    UnacquireAndRelease(keyboard);
    UnacquireAndRelease(mouse);
    directInput->Release();
    directInput = nullptr;
  } else {
    // Without directInput no device can exist; clear stray pointers anyway.
    keyboard = mouse = nullptr;
  }
  MessageBoxA(window, message, "f_Input", MB_ICONERROR);
  return 0;
}

void InputDevices::Release() {
  if (directInput == nullptr) return;
  UnacquireAndRelease(keyboard);
  UnacquireAndRelease(mouse);
  directInput->Release();
  directInput = nullptr;
}

void InputDevices::Poll() {
  if (useKeyboard && keyboard != nullptr) {
    keyboard->Acquire();
    keyboard->GetDeviceState(sizeof keys, keys);
  }
  if (useMouse && mouse != nullptr) {
    mouse->Acquire();
    mouse->GetDeviceState(sizeof mouseState, &mouseState);
    mouseX = WrappingAdd(mouseX, mouseState.lX);
  }
}

std::int32_t InputDevices::KeyDown(int scanCode) const {
  if (!useKeyboard || scanCode < 0 || scanCode > 255) return 0;
  return (keys[scanCode] & 0x80) ? 1 : 0;
}

std::int32_t InputDevices::MouseButtonDown(int button) const {
  if (!useMouse || button < 0 || button > 3) return 0;
  return (mouseState.rgbButtons[button] & 0x80) ? 1 : 0;
}

void InputDevices::ApplyControls(Camera& camera, RenderSwitches& switches) {
  Poll();

  const std::int32_t current = mouseX;
  const std::int32_t dx = WrappingSub(current, PreviousMouseX);
  // Yaw every frame, 0 when still; the scale is the one set by last frame's zoom.
  camera.Yaw(static_cast<float>(-static_cast<double>(dx) * MouseTurnScale * kPi / 180.0));
  PreviousMouseX = current;

  if (MouseButtonDown(0)) {
    StatusText = glyph::kFilledCircle;
    CentreMark = glyph::kCircledDot;
  } else {
    StatusText = glyph::kCircle;
    CentreMark = glyph::kBullseye;
  }
  StatusLock = 1;

  if (KeyDown(kEscape)) QuitRequested = 1;

  const bool boosted = MouseButtonDown(1) != 0;
  const float boost = boosted ? control::kBoost : 0.0f;
  const float backBoost = boosted ? -control::kBoost : 0.0f;

  if (KeyDown(kLeftShift)) {
    camera.fieldOfView = control::kZoomFieldOfView;
    MouseTurnScale = control::kZoomTurnScale;
  } else {
    camera.fieldOfView = control::kFieldOfView;
    MouseTurnScale = control::kTurnScale;
  }

  auto directionGlyph = [](const char* text) {
    if (StatusLock == 0) StatusText = text;
  };
  using control::kStep;
  if (KeyDown(kUp)) camera.Rise(control::kRiseStep + boost), directionGlyph(glyph::kUpTriangle);
  if (KeyDown(kDown)) camera.MoveForward(-kStep + backBoost), directionGlyph(glyph::kDownTriangle);
  if (KeyDown(kLeft)) camera.Strafe(-kStep + backBoost), directionGlyph(glyph::kLeftTriangle);
  if (KeyDown(kRight)) camera.Strafe(kStep + boost), directionGlyph(glyph::kRightTriangle);
  if (KeyDown(kW)) camera.MoveForward(kStep + boost), directionGlyph(glyph::kUpTriangle);
  if (KeyDown(kS)) camera.MoveForward(-kStep + backBoost), directionGlyph(glyph::kDownTriangle);
  if (KeyDown(kA)) camera.Strafe(-kStep + backBoost), directionGlyph(glyph::kLeftTriangle);
  if (KeyDown(kD)) camera.Strafe(kStep + boost), directionGlyph(glyph::kRightTriangle);

  switches.wireframe = KeyDown(kQ) ? 1 : 0;
}
