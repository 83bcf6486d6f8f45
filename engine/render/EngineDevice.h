// EngineDevice: the device half of the engine's record: the DirectDraw and
// Direct3D interfaces, the screen rectangle and the locked render target,
// with the set-up, the per-frame device operations, the release and the
// texture maker. The application's Engine derives from it and adds the
// camera, the scene and the frame statistics.
//
// The record owns one reference on each interface field and gives them up
// in ReleaseDevice (run by the destructor). backBuffer is looked up and
// never used.
//
// Choices of ours where the system leaves them open:
//   - SetUpDevice stops at the first failed step other than "Create
//     BackBuffer" (its log line is written first); DeviceReady() then says
//     false, and the per-frame operations do nothing instead of touching a
//     missing interface. The application reports it and ends cleanly.
//   - The z-buffer format record is zero-filled before the enumeration, so
//     "no format taken" is a reliable dwSize of 0.
//   - ReleaseDevice also gives up a back buffer if a driver ever handed one
//     out (this layer's primary never has one), so nothing leaks.
//   - CreateTexture of an empty picture (0 x 0), or of a picture whose pixel
//     array is shorter than width x height, returns 0 with the entry null and
//     creates no surface. A failed Lock of the staging surface returns 0
//     (the texture stays in the entry, as after a failed step 5 or 6).
#pragma once

#include <cstdint>

#include <d3d.h>
#include <windows.h>

#include "engine/log/TarnLog.h"
#include "engine/picture/Image.h"

// The context of the texture-format enumeration.
struct TextureFormatSearch {
  std::uint32_t bitCount = 16;
  std::int32_t fourBitAlpha = 1;  // 1: alpha mask 0xF000 (4-4-4-4); 0: 0x8000 (1-5-5-5)
  std::int32_t found = 0;
  DDPIXELFORMAT* destination = nullptr;
};
// The enumeration callbacks of the set-up and of CreateTexture.
HRESULT CALLBACK ZBufferFormatCallback(DDPIXELFORMAT* format, void* context);
HRESULT CALLBACK TextureFormatCallback(DDPIXELFORMAT* format, void* context);

class EngineDevice {
 public:
  EngineDevice();
  ~EngineDevice();
  EngineDevice(const EngineDevice&) = delete;
  EngineDevice& operator=(const EngineDevice&) = delete;

  // The logged set-up sequence; ends with SetInitialRenderStates.
  void SetUpDevice(std::int32_t width, std::int32_t height, HWND window);
  void SetInitialRenderStates(IDirect3DDevice7* device);
  // True when set-up got as far as a device with its surfaces.
  bool DeviceReady() const;

  void ClearTarget();
  void BeginScene();
  void EndScene();
  void LockRenderTarget();
  void UnlockRenderTarget();
  void Present();
  void ReleaseDevice();

  // Makes a managed 4-4-4-4 texture from the picture into *texture.
  // Returns 1 when the texture holds the picture, 0 otherwise.
  std::int32_t CreateTexture(Image& picture, IDirectDrawSurface7** texture);

  RECT screen{0, 0, 0, 0};
  std::int32_t deviceWidth = 0;
  std::int32_t deviceHeight = 0;
  const GUID* deviceType = nullptr;
  IDirectDraw7* directDraw = nullptr;
  IDirectDrawSurface7* primarySurface = nullptr;
  IDirectDrawSurface7* renderTarget = nullptr;
  IDirectDrawSurface7* backBuffer = nullptr;
  IDirectDrawSurface7* zBuffer = nullptr;
  IDirect3D7* direct3D = nullptr;
  IDirect3DDevice7* device = nullptr;
  D3DVIEWPORT7 viewport{0, 0, 0, 0, 0.0f, 1.0f};
  HWND window = nullptr;
  DWORD textColour = 0x00FFFFFF;
  void* lockedBits = nullptr;
  std::int32_t lockedPitch = 0;

 private:
  bool ready_ = false;
};
