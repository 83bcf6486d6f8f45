// The stand-in's objects behind the platform interfaces (local header).
#pragma once

#include <ddraw.h>
#include <d3d.h>

#include <cstdint>
#include <map>
#include <vector>

#include "platform/ddraw/DDrawControl.h"
#include "platform/raster/Raster.h"
#include "platform/win32/ComObject.h"

namespace tarn::ddraw {

// Layer state shared by the objects.
// 0, or the failure a test injected for this call. Without a watching test
// it is one test of a flag.
extern bool callsWatched;
HRESULT CountCall(const char* method);
inline HRESULT Injected(const char* method) { return callsWatched ? CountCall(method) : S_OK; }
void CountObject(int delta);
class Surface;
void SetPrimary(Surface* primary);  // the primary registers itself; null when it goes
Surface* Primary();
void SetDisplayMode(int width, int height);
void PresentPrimary();
bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);
// Finishes the queued drawing of every device: called before any surface's
// pixels are read, written or freed other than by a device's own drawing.
void FlushDevices();

struct LiveTally {
  static void Count(int delta) { CountObject(delta); }
};
template <class Interface>
using Counted = win32::Counted<Interface, LiveTally>;
using win32::MakeObject;

class Clipper final : public Counted<IDirectDrawClipper> {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT SetHWnd(DWORD flags, HWND window) override;
  HRESULT GetHWnd(HWND* window) override;

 private:
  HWND window_ = nullptr;
};

class Surface final : public Counted<IDirectDrawSurface7> {
 public:
  Surface(int width, int height, const DDPIXELFORMAT& format, const DDSCAPS2& caps, int pitchPadding);
  ~Surface() override;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE7 surface) override;
  HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags,
              LPDDBLTFX effects) override;
  HRESULT GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) override;
  HRESULT GetCaps(LPDDSCAPS2 caps) override;
  HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 desc) override;
  HRESULT IsLost() override;
  HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT Restore() override;
  HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
  HRESULT Unlock(LPRECT rect) override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Pitch() const { return pitch_; }
  int BytesPerPixel() const { return bytesPerPixel_; }
  std::uint8_t* Bits() { return reinterpret_cast<std::uint8_t*>(memory_.data()); }
  const DDPIXELFORMAT& Format() const { return format_; }
  const DDSCAPS2& Caps() const { return caps_; }
  bool IsZBuffer() const { return (caps_.dwCaps & DDSCAPS_ZBUFFER) != 0; }
  bool IsRgb565() const;
  bool Busy() const { return locked_ || dc_ != nullptr; }
  bool Locked() const { return locked_; }
  Surface* AttachedZ() const { return attachedZ_; }
  // The texels as 0xAARRGGBB in rows of Width() + 1 (the last texel of a
  // row repeats its first), converted again after every change.
  const std::vector<std::uint32_t>& DecodedArgb();
  bool DecodedOpaque() { DecodedArgb(); return decodedOpaque_; }

 private:
  void Changed();

  int width_, height_, pitch_, bytesPerPixel_;
  DDPIXELFORMAT format_;
  DDSCAPS2 caps_;
  // Memory on cache-line boundaries, so that the device's threads, each
  // filling its own screen tiles, never share a line at a tile's edge.
  struct alignas(64) Line {
    std::uint8_t bytes[64];
  };
  std::vector<Line> memory_;
  Surface* attachedZ_ = nullptr;       // counted reference
  Clipper* clipper_ = nullptr;         // counted reference
  bool locked_ = false;
  HDC dc_ = nullptr;
  std::uint64_t version_ = 1, decodedVersion_ = 0;
  std::vector<std::uint32_t> decoded_;
  bool decodedOpaque_ = false;
};

class DirectDraw final : public Counted<IDirectDraw7> {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override;
  HRESULT CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface, IUnknown* outer) override;
  HRESULT GetDisplayMode(LPDDSURFACEDESC2 desc) override;
  HRESULT RestoreDisplayMode() override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) override;

 private:
  DWORD cooperativeFlags_ = 0;
  HWND window_ = nullptr;
  int modeWidth_ = 0, modeHeight_ = 0;
};

class Direct3D final : public Counted<IDirect3D7> {
 public:
  explicit Direct3D(DirectDraw* owner);
  ~Direct3D() override;
  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT EnumZBufferFormats(REFCLSID deviceType, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
  HRESULT CreateDevice(REFCLSID deviceType, LPDIRECTDRAWSURFACE7 target, LPDIRECT3DDEVICE7* device) override;
  HRESULT EvictManagedTextures() override;

 private:
  DirectDraw* owner_;  // counted reference
};

bool KnownDeviceType(REFCLSID type);

class Device final : public Counted<IDirect3DDevice7> {
 public:
  explicit Device(Surface* target);
  ~Device() override;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT GetCaps(LPD3DDEVICEDESC7 desc) override;
  HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) override;
  HRESULT SetViewport(LPD3DVIEWPORT7 viewport) override;
  HRESULT GetViewport(LPD3DVIEWPORT7 viewport) override;
  HRESULT SetMaterial(LPD3DMATERIAL7 material) override;
  HRESULT GetMaterial(LPD3DMATERIAL7 material) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, LPVOID vertices, DWORD vertexCount,
                        DWORD flags) override;
  HRESULT GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) override;
  HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, LPDWORD value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;

  void FlushDrawing() { rasterizer_.Flush(); }

 private:
  static constexpr int kStages = 8;
  static constexpr int kStageStates = 32;
  raster::Target MakeTarget(Surface* z);

  Surface* target_;  // counted reference
  DWORD renderStates_[256];
  DWORD stageStates_[kStages][kStageStates];
  Surface* textures_[kStages] = {};  // counted references
  D3DMATRIX transforms_[4];
  D3DVIEWPORT7 viewport_;
  D3DMATERIAL7 material_{};
  std::map<DWORD, bool> lights_;  // created lights and whether they are on
  bool inScene_ = false;
  // The settings as the rasterizer takes them, made again after a change.
  raster::State settings_;
  bool settingsChanged_ = true;
  raster::Rasterizer rasterizer_;
};

}  // namespace tarn::ddraw
