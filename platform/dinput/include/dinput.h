// DirectInput 7 as the engine calls it: DirectInputCreateA, IDirectInputA
// with CreateDevice, IDirectInputDeviceA with SetDataFormat,
// SetCooperativeLevel, Acquire, Unacquire and GetDeviceState, the predefined
// keyboard and mouse data formats, DIMOUSESTATE and the DIK_* scan codes.
//
// Implemented: immediate (polled) data of the system keyboard and the system
// mouse, fed by a host through platform/dinput/InputSeam.h. Not implemented:
// buffered data, event notification, joysticks, force feedback, device
// enumeration, custom data formats (SetDataFormat accepts the predefined
// format of the device's kind, or one of the same data size, and refuses
// anything else with DIERR_INVALIDPARAM).
//
// Choices of ours, where the platform leaves room:
//   - Acquire fails with DIERR_OTHERAPPHASPRIO while the host reports that
//     our window is not in the foreground (a foreground level is the only
//     one the system asks for; a background level acquires regardless);
//     losing the foreground unacquires every device.
//   - GetDeviceState of a device that is not acquired returns
//     DIERR_NOTACQUIRED and fills the caller's buffer with zeros (every key
//     and button up, no motion), so that a key held when the window lost
//     the foreground does not stay held in the caller's copy.
//   - Mouse axes are relative: each read returns the motion since the
//     previous read of that device (motion while unacquired is dropped).
#pragma once

#include <windows.h>

// As in the platform's header: version 8 unless the includer names an older
// one, and DirectInputCreateA only for the older ones (a DirectX 7 program
// defines DIRECTINPUT_VERSION 0x0700 before including this header).
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif

// Results.
#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_GENERIC E_FAIL
#define DIERR_NOTACQUIRED TARN_HR(0x8007000Cu)
#define DIERR_INPUTLOST TARN_HR(0x8007001Eu)
#define DIERR_OTHERAPPHASPRIO TARN_HR(0x80070005u)
#define DIERR_NOTINITIALIZED TARN_HR(0x80070015u)
#define DIERR_DEVICENOTREG TARN_HR(0x80040154u)
#define DIERR_OLDDIRECTINPUTVERSION TARN_HR(0x8007047Eu)
#define DIERR_ACQUIRED TARN_HR(0x800700AAu)

// Cooperative levels.
#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008

// Data format flags.
#define DIDF_ABSAXIS 0x00000001
#define DIDF_RELAXIS 0x00000002

struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;  // bytes GetDeviceState fills
  DWORD dwNumObjs;
  void* rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;

extern const DIDATAFORMAT c_dfDIKeyboard;  // 256 bytes, one per scan code
extern const DIDATAFORMAT c_dfDIMouse;     // a DIMOUSESTATE

struct DIMOUSESTATE {
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;

struct IDirectInputDeviceA : IUnknown {
  virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
};
using LPDIRECTINPUTDEVICEA = IDirectInputDeviceA*;
using LPDIRECTINPUTDEVICE = IDirectInputDeviceA*;

struct IDirectInputA : IUnknown {
  virtual HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICEA* out, LPUNKNOWN outer) = 0;
};
using LPDIRECTINPUTA = IDirectInputA*;
using LPDIRECTINPUT = IDirectInputA*;

// Versions 0x0300 to 0x0700 are accepted; a later one fails with
// DIERR_OLDDIRECTINPUTVERSION, as an older runtime would answer. A non-null
// outer object is refused (no aggregation).
#if DIRECTINPUT_VERSION < 0x0800
HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUTA* out, LPUNKNOWN outer);
#endif

// The DIK_* codes: PC set-1 make codes, extended (E0) keys + 0x80.
#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_2 0x03
#define DIK_3 0x04
#define DIK_4 0x05
#define DIK_5 0x06
#define DIK_6 0x07
#define DIK_7 0x08
#define DIK_8 0x09
#define DIK_9 0x0A
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_EQUALS 0x0D
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_R 0x13
#define DIK_T 0x14
#define DIK_Y 0x15
#define DIK_U 0x16
#define DIK_I 0x17
#define DIK_O 0x18
#define DIK_P 0x19
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_F 0x21
#define DIK_G 0x22
#define DIK_H 0x23
#define DIK_J 0x24
#define DIK_K 0x25
#define DIK_L 0x26
#define DIK_SEMICOLON 0x27
#define DIK_APOSTROPHE 0x28
#define DIK_GRAVE 0x29
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_V 0x2F
#define DIK_B 0x30
#define DIK_N 0x31
#define DIK_M 0x32
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_MULTIPLY 0x37
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F2 0x3C
#define DIK_F3 0x3D
#define DIK_F4 0x3E
#define DIK_F5 0x3F
#define DIK_F6 0x40
#define DIK_F7 0x41
#define DIK_F8 0x42
#define DIK_F9 0x43
#define DIK_F10 0x44
#define DIK_NUMPAD8 0x48
#define DIK_NUMPAD4 0x4B
#define DIK_NUMPAD6 0x4D
#define DIK_NUMPAD2 0x50
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_RCONTROL 0x9D
#define DIK_RMENU 0xB8
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3
