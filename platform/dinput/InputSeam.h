// InputSeam: how a host feeds the DirectInput stand-in, and how tests steer
// it. The host owns one machine-wide input state: which scan codes and mouse
// buttons are down, the mouse motion so far, and whether our window is in
// the foreground. Devices read it when the system polls them.
#pragma once

#include <cstdint>

#include <windows.h>

namespace tarn::dinput {

// Key by DIK code (0-255); out-of-range codes are ignored.
void SetKey(int dik, bool down);
// Button 0 left, 1 right, 2 middle, 3 fourth; others are ignored.
void SetButton(int index, bool down);
// Relative motion in mouse counts, added to what devices will read next.
void AddMotion(int dx, int dy, int dz = 0);
// Every key and button up (motion already fed stays).
void ReleaseAll();
// Losing the foreground unacquires every device; regaining it lets the
// next Acquire succeed again. The machine starts in the foreground.
void SetForeground(bool foreground);
bool Foreground();

// Test controls. The next call of `call` on a device of `kind` (or on
// DirectInputCreateA for Call::Create) fails with `result`, once per arming.
enum class Call { Create, CreateDevice, SetDataFormat, SetCooperativeLevel, Acquire, GetDeviceState };
enum class Kind { Any, Keyboard, Mouse };
void FailNext(Call call, Kind kind, HRESULT result);
// Forgets armed failures, input state and foreground (tests call it first).
void ResetMachine();
// DirectInput objects and devices alive now (a leak or a double release
// shows here).
int LiveObjects();
// Devices of this kind that are acquired now.
int AcquiredDevices(Kind kind);

}  // namespace tarn::dinput
