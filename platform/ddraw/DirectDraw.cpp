// DirectDrawCreateEx, IDirectDraw7, IDirectDrawClipper and IDirect3D7.
#include <cstring>

#include "platform/ddraw/Objects.h"

namespace tarn::ddraw {
namespace {

constexpr int kMaxSurfaceSide = 16384;
constexpr long long kMaxSurfaceBytes = 256ll << 20;

bool IsPow2(DWORD v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

HRESULT Clipper::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IDirectDrawClipper)) return E_NOINTERFACE;
  AddRef();
  *object = static_cast<IDirectDrawClipper*>(this);
  return S_OK;
}

HRESULT Clipper::SetHWnd(DWORD flags, HWND window) {
  if (HRESULT hr = Injected("IDirectDrawClipper::SetHWnd")) return hr;
  if (flags != 0) return DDERR_INVALIDPARAMS;
  window_ = window;
  return DD_OK;
}

HRESULT Clipper::GetHWnd(HWND* window) {
  if (HRESULT hr = Injected("IDirectDrawClipper::GetHWnd")) return hr;
  if (!window) return DDERR_INVALIDPARAMS;
  *window = window_;
  return DD_OK;
}

HRESULT DirectDraw::QueryInterface(REFIID iid, void** object) {
  if (HRESULT hr = Injected("IDirectDraw7::QueryInterface")) {
    if (object) *object = nullptr;
    return hr;
  }
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IDirectDraw7) {
    AddRef();
    *object = static_cast<IDirectDraw7*>(this);
    return S_OK;
  }
  if (iid == IID_IDirect3D7) {
    *object = static_cast<IDirect3D7*>(MakeObject<Direct3D>(this));
    return S_OK;
  }
  return E_NOINTERFACE;
}

HRESULT DirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
  if (clipper) *clipper = nullptr;
  if (HRESULT hr = Injected("IDirectDraw7::CreateClipper")) return hr;
  if (!clipper || outer || flags != 0) return DDERR_INVALIDPARAMS;
  *clipper = MakeObject<Clipper>();
  return DD_OK;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* out, IUnknown* outer) {
  if (out) *out = nullptr;
  if (HRESULT hr = Injected("IDirectDraw7::CreateSurface")) return hr;
  if (!desc || !out || outer || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (!(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  DDSCAPS2 caps = desc->ddsCaps;
  const Profile& profile = CurrentProfile();
  bool hasSize = (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) == (DDSD_WIDTH | DDSD_HEIGHT);
  bool hasFormat = (desc->dwFlags & DDSD_PIXELFORMAT) != 0;
  int width = 0, height = 0;
  DDPIXELFORMAT format = FormatRgb565();

  if (caps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
    if (hasSize || hasFormat || (desc->dwFlags & DDSD_BACKBUFFERCOUNT)) return DDERR_INVALIDPARAMS;
    if (!(cooperativeFlags_ & (DDSCL_EXCLUSIVE | DDSCL_NORMAL))) return DDERR_NOEXCLUSIVEMODE;
    if (Primary()) return DDERR_INVALIDCAPS;  // one primary at a time
    width = modeWidth_ > 0 ? modeWidth_ : 640;
    height = modeHeight_ > 0 ? modeHeight_ : 480;
    caps.dwCaps |= DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
  } else {
    if (!hasSize) return DDERR_INVALIDPARAMS;
    if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > kMaxSurfaceSide ||
        desc->dwHeight > kMaxSurfaceSide)
      return DDERR_INVALIDPARAMS;
    width = static_cast<int>(desc->dwWidth);
    height = static_cast<int>(desc->dwHeight);
    if (caps.dwCaps & DDSCAPS_ZBUFFER) {
      if (!hasFormat) return DDERR_INVALIDPIXELFORMAT;
      bool offered = false;
      for (const DDPIXELFORMAT& z : profile.zFormats)
        offered = offered || (SameFormat(z, desc->ddpfPixelFormat) &&
                              z.dwZBitMask == desc->ddpfPixelFormat.dwZBitMask &&
                              z.dwStencilBitMask == desc->ddpfPixelFormat.dwStencilBitMask);
      if (!offered) return DDERR_INVALIDPIXELFORMAT;
      format = desc->ddpfPixelFormat;
      if (format.dwZBufferBitDepth != 16 && format.dwZBufferBitDepth != 32) return DDERR_INVALIDPIXELFORMAT;
    } else if (hasFormat) {
      bool offered = SameFormat(desc->ddpfPixelFormat, FormatRgb565());
      if (caps.dwCaps & DDSCAPS_TEXTURE)
        for (const DDPIXELFORMAT& t : profile.textureFormats) offered = offered || SameFormat(t, desc->ddpfPixelFormat);
      if (!offered) return DDERR_INVALIDPIXELFORMAT;
      format = desc->ddpfPixelFormat;
    }
    if ((caps.dwCaps & DDSCAPS_3DDEVICE) && !SameFormat(format, FormatRgb565())) return DDERR_INVALIDPIXELFORMAT;
    // The driver's texture rules bind textures it holds; system-memory
    // textures (staging copies) may have any size.
    bool driverTexture = (caps.dwCaps & DDSCAPS_TEXTURE) && !(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    if (driverTexture) {
      if ((profile.textureCaps & D3DPTEXTURECAPS_POW2) && !(IsPow2(desc->dwWidth) && IsPow2(desc->dwHeight)))
        return DDERR_INVALIDPARAMS;
      if ((profile.textureCaps & D3DPTEXTURECAPS_SQUAREONLY) && desc->dwWidth != desc->dwHeight)
        return DDERR_INVALIDPARAMS;
      if ((profile.maxTextureWidth && desc->dwWidth > profile.maxTextureWidth) ||
          (profile.maxTextureHeight && desc->dwHeight > profile.maxTextureHeight))
        return DDERR_INVALIDPARAMS;
    }
    if (!(caps.dwCaps & DDSCAPS_SYSTEMMEMORY)) caps.dwCaps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
  }
  long long bytes = static_cast<long long>(width) * height * (format.dwRGBBitCount / 8);
  if (bytes > kMaxSurfaceBytes) return DDERR_OUTOFMEMORY;
  Surface* s = MakeObject<Surface>(width, height, format, caps, profile.pitchPadding);
  if (caps.dwCaps & DDSCAPS_PRIMARYSURFACE) SetPrimary(s);
  *out = s;
  return DD_OK;
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC2 desc) {
  if (HRESULT hr = Injected("IDirectDraw7::GetDisplayMode")) return hr;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  desc->dwWidth = static_cast<DWORD>(modeWidth_ > 0 ? modeWidth_ : 640);
  desc->dwHeight = static_cast<DWORD>(modeHeight_ > 0 ? modeHeight_ : 480);
  desc->lPitch = static_cast<LONG>(desc->dwWidth * 2);
  desc->ddpfPixelFormat = FormatRgb565();
  return DD_OK;
}

HRESULT DirectDraw::RestoreDisplayMode() {
  if (HRESULT hr = Injected("IDirectDraw7::RestoreDisplayMode")) return hr;
  return DD_OK;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  if (HRESULT hr = Injected("IDirectDraw7::SetCooperativeLevel")) return hr;
  bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0, fullscreen = (flags & DDSCL_FULLSCREEN) != 0;
  bool normal = (flags & DDSCL_NORMAL) != 0;
  if (exclusive != fullscreen || (normal && exclusive) || (!normal && !exclusive)) return DDERR_INVALIDPARAMS;
  if (exclusive && !window) return DDERR_INVALIDPARAMS;
  cooperativeFlags_ = flags;
  window_ = window;
  return DD_OK;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD, DWORD flags) {
  if (HRESULT hr = Injected("IDirectDraw7::SetDisplayMode")) return hr;
  if (!(cooperativeFlags_ & DDSCL_EXCLUSIVE)) return DDERR_NOEXCLUSIVEMODE;
  // Only 16-bit modes are offered: the layer's display is 5-6-5.
  if (flags != 0 || bitsPerPixel != 16 || width == 0 || height == 0 || width > 4096 || height > 4096)
    return DDERR_INVALIDMODE;
  modeWidth_ = static_cast<int>(width);
  modeHeight_ = static_cast<int>(height);
  tarn::ddraw::SetDisplayMode(modeWidth_, modeHeight_);
  return DD_OK;
}

Direct3D::Direct3D(DirectDraw* owner) : owner_(owner) { owner_->AddRef(); }
Direct3D::~Direct3D() { owner_->Release(); }

HRESULT Direct3D::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IDirect3D7) {
    AddRef();
    *object = static_cast<IDirect3D7*>(this);
    return S_OK;
  }
  if (iid == IID_IDirectDraw7) return owner_->QueryInterface(iid, object);
  return E_NOINTERFACE;
}

bool KnownDeviceType(REFCLSID type) {
  return type == IID_IDirect3DHALDevice || type == IID_IDirect3DRGBDevice || type == IID_IDirect3DTnLHalDevice;
}

HRESULT Direct3D::EnumZBufferFormats(REFCLSID type, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) {
  if (HRESULT hr = Injected("IDirect3D7::EnumZBufferFormats")) return hr;
  if (!callback || !KnownDeviceType(type)) return DDERR_INVALIDPARAMS;
  std::vector<DDPIXELFORMAT> formats = CurrentProfile().zFormats;  // the callback may change the profile
  for (DDPIXELFORMAT f : formats)
    if (callback(&f, context) == D3DENUMRET_CANCEL) break;
  return D3D_OK;
}

HRESULT Direct3D::CreateDevice(REFCLSID type, LPDIRECTDRAWSURFACE7 target, LPDIRECT3DDEVICE7* device) {
  if (device) *device = nullptr;
  if (HRESULT hr = Injected("IDirect3D7::CreateDevice")) return hr;
  if (!device || !target || !KnownDeviceType(type)) return DDERR_INVALIDPARAMS;
  auto* surface = dynamic_cast<Surface*>(target);
  if (!surface || !(surface->Caps().dwCaps & DDSCAPS_3DDEVICE) || !surface->IsRgb565()) return DDERR_INVALIDCAPS;
  *device = MakeObject<Device>(surface);
  return D3D_OK;
}

HRESULT Direct3D::EvictManagedTextures() {
  if (HRESULT hr = Injected("IDirect3D7::EvictManagedTextures")) return hr;
  return D3D_OK;
}

}  // namespace tarn::ddraw

HRESULT DirectDrawCreateEx(GUID* guid, LPVOID* directDraw, REFIID iid, IUnknown* outer) {
  if (directDraw) *directDraw = nullptr;
  if (HRESULT hr = tarn::ddraw::Injected("DirectDrawCreateEx")) return hr;
  if (!directDraw || outer) return DDERR_INVALIDPARAMS;
  if (guid) return DDERR_INVALIDPARAMS;  // only the default display driver exists
  if (!(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
  *directDraw = static_cast<IDirectDraw7*>(tarn::ddraw::MakeObject<tarn::ddraw::DirectDraw>());
  return DD_OK;
}
