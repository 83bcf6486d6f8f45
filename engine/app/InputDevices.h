// InputDevices: the DirectInput keyboard and mouse, polled once per frame,
// and the control mapping that turns their state into camera moves, the
// wireframe switch, the status glyphs and the quit request.
//
// Choices of ours:
//   - After a failed Create (reported in the "f_Input" box) the program goes
//     on without the devices: Poll skips a device whose interface is gone,
//     so its keys and buttons read as up and the mouse does not turn.
//   - StatusLock is never cleared, so the direction glyphs of the movement
//     keys never replace the mouse-button glyph; the glyph logic is kept so
//     that clearing the lock is the only change needed to show them.
#pragma once

#include <cstdint>

// The interfaces of DirectInput 7, which the engine was written for.
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0700
#endif
#include <dinput.h>
#include <windows.h>

class Camera;
class RenderSwitches;

class InputDevices {
 public:
  InputDevices() = default;
  ~InputDevices();
  InputDevices(const InputDevices&) = delete;
  InputDevices& operator=(const InputDevices&) = delete;

  // 1 when every requested device was created and set up (acquisition is
  // attempted, not tested); 0 after a failure, already reported in a box.
  std::int32_t Create(HWND window, std::int32_t wantKeyboard, std::int32_t wantMouse);
  void Poll();
  std::int32_t KeyDown(int scanCode) const;
  std::int32_t MouseButtonDown(int button) const;
  // Releases everything and shows the "f_Input" error box; returns 0.
  std::int32_t ReportFailure(const char* message);
  void Release();
  // The per-frame mapping onto the engine's camera and switches (AppEngine).
  void ProcessControls();
  // The same mapping onto a given camera and switches.
  void ApplyControls(Camera& camera, RenderSwitches& switches);

  IDirectInputA* directInput = nullptr;
  IDirectInputDeviceA* keyboard = nullptr;
  IDirectInputDeviceA* mouse = nullptr;
  HWND window = nullptr;
  BYTE keys[256]{};
  std::int32_t useKeyboard = 0;
  std::int32_t useMouse = 0;
  DIMOUSESTATE mouseState{};
  std::int32_t mouseX = 0;

 private:
  // Creates one device and sets it up; false after a reported failure.
  bool OpenDevice(const GUID& which, const DIDATAFORMAT& format, IDirectInputDeviceA*& device,
                  const char* createFailed, const char* formatFailed, const char* levelFailed);
};
