// The DirectInput 7 stand-in: one machine-wide input state fed by the host,
// devices that copy it out when polled.
#define DIRECTINPUT_VERSION 0x0700  // DirectInputCreateA is a DirectX 7 entry
#include <dinput.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/dinput/InputSeam.h"
#include "platform/win32/ComObject.h"

const DIDATAFORMAT c_dfDIKeyboard{sizeof(DIDATAFORMAT), 16, DIDF_RELAXIS, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIMouse{sizeof(DIDATAFORMAT), 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7, nullptr};

const GUID GUID_SysMouse{0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard{0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace tarn::dinput {
namespace {

struct Failure {
  Call call;
  Kind kind;
  HRESULT result;
};

class Device;

struct Machine {
  BYTE keys[256]{};
  BYTE buttons[4]{};
  // Running sums of every motion fed; a device keeps the sums it last saw.
  std::int64_t motionX = 0, motionY = 0, motionZ = 0;
  bool foreground = true;
  std::vector<Failure> failures;
  std::vector<Device*> devices;
  int live = 0;
};

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

HRESULT TakeFailure(Call call, Kind kind) {
  auto& failures = TheMachine().failures;
  for (auto it = failures.begin(); it != failures.end(); ++it) {
    if (it->call == call && (it->kind == Kind::Any || it->kind == kind)) {
      HRESULT result = it->result;
      failures.erase(it);
      return result;
    }
  }
  return DI_OK;
}

LONG ClampToLong(std::int64_t v) {
  return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

struct LiveTally {
  static void Count(int delta) { TheMachine().live += delta; }
};

class Device final : public win32::Counted<IDirectInputDeviceA, LiveTally> {
 public:
  explicit Device(Kind kind) : kind_(kind) { TheMachine().devices.push_back(this); }

  HRESULT QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT SetDataFormat(LPCDIDATAFORMAT format) override {
    if (format == nullptr) return DIERR_INVALIDPARAM;
    if (acquired_) return DIERR_ACQUIRED;
    if (HRESULT hr = TakeFailure(Call::SetDataFormat, kind_); hr != DI_OK) return hr;
    if (format->dwDataSize != DataSize()) return DIERR_INVALIDPARAM;
    formatSet_ = true;
    return DI_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    if (HRESULT hr = TakeFailure(Call::SetCooperativeLevel, kind_); hr != DI_OK) return hr;
    const DWORD share = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    const DWORD when = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    if (share == 0 || share == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE)) return DIERR_INVALIDPARAM;
    if (when == 0 || when == (DISCL_FOREGROUND | DISCL_BACKGROUND)) return DIERR_INVALIDPARAM;
    if ((flags & ~(share | when)) != 0) return DIERR_INVALIDPARAM;
    // A foreground or exclusive level needs a real window to follow.
    if (((flags & DISCL_FOREGROUND) || (flags & DISCL_EXCLUSIVE)) && !IsWindow(window)) return DIERR_INVALIDPARAM;
    foregroundOnly_ = (flags & DISCL_FOREGROUND) != 0;
    return DI_OK;
  }

  HRESULT Acquire() override {
    if (HRESULT hr = TakeFailure(Call::Acquire, kind_); hr != DI_OK) return hr;
    if (!formatSet_) return DIERR_INVALIDPARAM;
    if (foregroundOnly_ && !TheMachine().foreground) return DIERR_OTHERAPPHASPRIO;
    if (acquired_) return DI_NOEFFECT;
    acquired_ = true;
    const Machine& m = TheMachine();
    seenX_ = m.motionX, seenY_ = m.motionY, seenZ_ = m.motionZ;
    return DI_OK;
  }

  HRESULT Unacquire() override {
    if (!acquired_) return DI_NOEFFECT;
    acquired_ = false;
    return DI_OK;
  }

  HRESULT GetDeviceState(DWORD size, LPVOID data) override {
    if (data == nullptr || size != DataSize()) return DIERR_INVALIDPARAM;
    if (!acquired_) {
      // A device that lost the foreground reads as all up and still, so a
      // key held while the window lost focus does not stay held.
      std::memset(data, 0, size);
      return DIERR_NOTACQUIRED;
    }
    if (HRESULT hr = TakeFailure(Call::GetDeviceState, kind_); hr != DI_OK) return hr;
    const Machine& m = TheMachine();
    if (kind_ == Kind::Keyboard) {
      std::memcpy(data, m.keys, sizeof m.keys);
      return DI_OK;
    }
    DIMOUSESTATE state{};
    state.lX = ClampToLong(m.motionX - seenX_);
    state.lY = ClampToLong(m.motionY - seenY_);
    state.lZ = ClampToLong(m.motionZ - seenZ_);
    std::memcpy(state.rgbButtons, m.buttons, sizeof m.buttons);
    seenX_ = m.motionX, seenY_ = m.motionY, seenZ_ = m.motionZ;
    std::memcpy(data, &state, sizeof state);
    return DI_OK;
  }

  void LoseForeground() {
    if (foregroundOnly_) acquired_ = false;
  }
  Kind kind() const { return kind_; }
  bool acquired() const { return acquired_; }

 private:
  ~Device() override {
    Machine& m = TheMachine();
    m.devices.erase(std::remove(m.devices.begin(), m.devices.end(), this), m.devices.end());
  }
  DWORD DataSize() const { return kind_ == Kind::Keyboard ? 256u : static_cast<DWORD>(sizeof(DIMOUSESTATE)); }

  Kind kind_;
  bool formatSet_ = false;
  bool foregroundOnly_ = false;
  bool acquired_ = false;
  std::int64_t seenX_ = 0, seenY_ = 0, seenZ_ = 0;
};

class DirectInput final : public win32::Counted<IDirectInputA, LiveTally> {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT CreateDevice(REFGUID which, LPDIRECTINPUTDEVICEA* out, LPUNKNOWN outer) override {
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOINTERFACE;
    Kind kind;
    if (which == GUID_SysKeyboard) {
      kind = Kind::Keyboard;
    } else if (which == GUID_SysMouse) {
      kind = Kind::Mouse;
    } else {
      return DIERR_DEVICENOTREG;
    }
    if (HRESULT hr = TakeFailure(Call::CreateDevice, kind); hr != DI_OK) return hr;
    *out = win32::MakeObject<Device>(kind);  // owned by the caller's reference
    return DI_OK;
  }
};

}  // namespace

void SetKey(int dik, bool down) {
  if (dik < 0 || dik > 255) return;
  TheMachine().keys[dik] = down ? 0x80 : 0;
}

void SetButton(int index, bool down) {
  if (index < 0 || index > 3) return;
  TheMachine().buttons[index] = down ? 0x80 : 0;
}

void AddMotion(int dx, int dy, int dz) {
  Machine& m = TheMachine();
  m.motionX += dx, m.motionY += dy, m.motionZ += dz;
}

void ReleaseAll() {
  Machine& m = TheMachine();
  std::memset(m.keys, 0, sizeof m.keys);
  std::memset(m.buttons, 0, sizeof m.buttons);
}

void SetForeground(bool foreground) {
  Machine& m = TheMachine();
  m.foreground = foreground;
  if (!foreground)
    for (Device* d : m.devices) d->LoseForeground();
}

bool Foreground() { return TheMachine().foreground; }

void FailNext(Call call, Kind kind, HRESULT result) { TheMachine().failures.push_back({call, kind, result}); }

void ResetMachine() {
  Machine& m = TheMachine();
  ReleaseAll();
  m.failures.clear();
  m.foreground = true;
}

int LiveObjects() { return TheMachine().live; }

int AcquiredDevices(Kind kind) {
  int n = 0;
  for (Device* d : TheMachine().devices)
    if (d->acquired() && (kind == Kind::Any || d->kind() == kind)) ++n;
  return n;
}

}  // namespace tarn::dinput

HRESULT DirectInputCreateA(HINSTANCE, DWORD version, LPDIRECTINPUTA* out, LPUNKNOWN outer) {
  using namespace tarn::dinput;
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer != nullptr) return DIERR_NOINTERFACE;
  if (version > 0x0700) return DIERR_OLDDIRECTINPUTVERSION;
  if (version < 0x0300) return DIERR_INVALIDPARAM;
  if (HRESULT hr = TakeFailure(Call::Create, Kind::Any); hr != DI_OK) return hr;
  *out = tarn::win32::MakeObject<DirectInput>();  // owned by the caller's reference
  return DI_OK;
}
