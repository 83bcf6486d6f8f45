// The engine's device: set-up with its log, fixed render states, per-frame
// operations, release and texture making.
#include "engine/render/EngineDevice.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "engine/picture/ColourBytes.h"

HRESULT CALLBACK ZBufferFormatCallback(DDPIXELFORMAT* format, void* context) {
  if (!format || !context) return D3DENUMRET_OK;
  if (format->dwFlags == DDPF_ZBUFFER) {
    std::memcpy(context, format, sizeof(DDPIXELFORMAT));
    return D3DENUMRET_CANCEL;
  }
  return D3DENUMRET_OK;
}

HRESULT CALLBACK TextureFormatCallback(DDPIXELFORMAT* format, void* context) {
  auto* search = static_cast<TextureFormatSearch*>(context);
  if (!format || !search) return D3DENUMRET_OK;
  if (format->dwFlags & (DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV)) return D3DENUMRET_OK;
  if (format->dwRGBBitCount < 16 || (format->dwFlags & DDPF_FOURCC)) return D3DENUMRET_OK;
  DWORD alphaMask = search->fourBitAlpha ? 0xF000 : 0x8000;
  if (!(format->dwFlags & DDPF_ALPHAPIXELS) || format->dwRGBAlphaBitMask != alphaMask) return D3DENUMRET_OK;
  if (format->dwRGBBitCount != search->bitCount || !search->destination) return D3DENUMRET_OK;
  std::memcpy(search->destination, format, sizeof(DDPIXELFORMAT));
  search->found = 1;
  return D3DENUMRET_CANCEL;
}

EngineDevice::EngineDevice() : deviceType(&IID_IDirect3DHALDevice) {}

EngineDevice::~EngineDevice() { ReleaseDevice(); }

bool EngineDevice::DeviceReady() const { return ready_ && device && renderTarget && primarySurface; }

void EngineDevice::SetUpDevice(std::int32_t width, std::int32_t height, HWND windowHandle) {
  window = windowHandle;
  deviceWidth = width;
  deviceHeight = height;
  ready_ = false;
  const DWORD w = static_cast<DWORD>(width), h = static_cast<DWORD>(height);

  HRESULT hr = DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr);
  if (!WriteLog(hr, "DrawCreate")) return;
  hr = directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
  if (!WriteLog(hr, "SetCooperativeLevel")) return;
  hr = directDraw->SetDisplayMode(w, h, 16, 0, 0);
  if (!WriteLog(hr, "Display Mode")) return;
  hr = directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&direct3D));
  if (!WriteLog(hr, "Direct3D")) return;

  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  hr = directDraw->CreateSurface(&desc, &primarySurface, nullptr);
  if (!WriteLog(hr, "Primary Surface")) return;

  IDirectDrawClipper* clipper = nullptr;
  hr = directDraw->CreateClipper(0, &clipper, nullptr);
  if (!WriteLog(hr, "CreateClipper")) return;
  clipper->SetHWnd(0, window);
  primarySurface->SetClipper(clipper);
  clipper->Release();

  // The primary has no flipping chain: this lookup fails in a working
  // start, and nothing uses backBuffer.
  DDSCAPS2 caps;
  std::memset(&caps, 0, sizeof caps);
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  hr = primarySurface->GetAttachedSurface(&caps, &backBuffer);
  WriteLog(hr, "Create BackBuffer");

  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = w;
  desc.dwHeight = h;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  hr = directDraw->CreateSurface(&desc, &renderTarget, nullptr);
  if (!WriteLog(hr, "RenderBuffer Surface")) return;

  DDPIXELFORMAT zFormat;
  std::memset(&zFormat, 0, sizeof zFormat);
  hr = direct3D->EnumZBufferFormats(*deviceType, ZBufferFormatCallback, &zFormat);
  if (!WriteLog(hr, "EnumZBuffer")) return;
  if (zFormat.dwSize != sizeof(DDPIXELFORMAT)) return;  // no plain z-buffer format offered

  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.dwWidth = w;
  desc.dwHeight = h;
  desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
  desc.ddpfPixelFormat = zFormat;
  hr = directDraw->CreateSurface(&desc, &zBuffer, nullptr);
  if (!WriteLog(hr, "ZBuffer Surface")) return;
  hr = renderTarget->AddAttachedSurface(zBuffer);
  if (!WriteLog(hr, "AddAttachedSurface")) return;
  hr = direct3D->CreateDevice(*deviceType, renderTarget, &device);
  if (!WriteLog(hr, "Create3DDevice")) return;

  viewport = D3DVIEWPORT7{0, 0, w, h, 0.0f, 1.0f};
  hr = device->SetViewport(&viewport);
  if (!WriteLog(hr, "SetViewport")) return;

  D3DMATERIAL7 material;
  std::memset(&material, 0, sizeof material);
  material.diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
  material.ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
  hr = device->SetMaterial(&material);
  if (!WriteLog(hr, "SetMaterial")) return;

  SetInitialRenderStates(device);
  ready_ = true;
}

void EngineDevice::SetInitialRenderStates(IDirect3DDevice7* d) {
  if (!d) return;
  d->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
  d->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_USEW);
  d->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
  d->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
  d->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
  d->SetRenderState(D3DRENDERSTATE_CLIPPING, TRUE);
  d->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
  d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
  d->LightEnable(0, TRUE);
  d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x20202020);
  d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0);
  d->SetRenderState(D3DRENDERSTATE_DITHERENABLE, TRUE);
  d->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
  d->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRENDERSTATE_ALPHAREF, 8);
  d->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  d->SetTexture(0, nullptr);
  d->SetTexture(1, nullptr);
  d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x88888888);
  d->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);
  d->SetRenderState(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_EXP2);
  d->SetRenderState(D3DRENDERSTATE_FOGDENSITY, 0x3C75C28F);  // 0.015f
  d->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x00BEBEBE);
}

void EngineDevice::ClearTarget() {
  if (!device) return;
  D3DRECT rect{0, 0, screen.right, screen.bottom};
  device->Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00BEBEBE, 1.0f, 0);
}

void EngineDevice::BeginScene() {
  if (device) device->BeginScene();
}

void EngineDevice::EndScene() {
  if (device) device->EndScene();
}

void EngineDevice::LockRenderTarget() {
  if (!renderTarget) return;
  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (renderTarget->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK) {
    lockedBits = desc.lpSurface;
    lockedPitch = desc.lPitch;
  } else {
    lockedBits = nullptr;
    lockedPitch = 0;
  }
}

void EngineDevice::UnlockRenderTarget() {
  if (!renderTarget) return;
  renderTarget->Unlock(nullptr);
}

void EngineDevice::Present() {
  if (!primarySurface || !renderTarget) return;
  primarySurface->Blt(&screen, renderTarget, nullptr, DDBLT_WAIT, nullptr);
}

void EngineDevice::ReleaseDevice() {
  auto release = [](auto*& p) {
    if (p) {
      p->Release();
      p = nullptr;
    }
  };
  release(directDraw);
  release(primarySurface);
  release(renderTarget);
  release(zBuffer);
  release(direct3D);
  release(device);
  release(backBuffer);
  ready_ = false;
  lockedBits = nullptr;
  lockedPitch = 0;
}

std::int32_t EngineDevice::CreateTexture(Image& picture, IDirectDrawSurface7** texture) {
  if (!texture) return 0;
  if (!device || !directDraw) return 0;
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() < static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height)) {
    *texture = nullptr;
    return 0;
  }
  D3DDEVICEDESC7 caps;
  std::memset(&caps, 0, sizeof caps);
  if (FAILED(device->GetCaps(&caps))) return 0;

  DWORD w = static_cast<DWORD>(picture.width), h = static_cast<DWORD>(picture.height);
  DWORD textureCaps = caps.dpcTriCaps.dwTextureCaps;
  if (textureCaps & D3DPTEXTURECAPS_POW2) {
    DWORD pw = 1, ph = 1;
    while (pw < w) pw <<= 1;
    while (ph < h) ph <<= 1;
    w = pw;
    h = ph;
  }
  DWORD maxW = caps.dwMaxTextureWidth ? caps.dwMaxTextureWidth : 256;
  DWORD maxH = caps.dwMaxTextureHeight ? caps.dwMaxTextureHeight : 256;
  w = std::min(w, maxW);
  h = std::min(h, maxH);
  if (textureCaps & D3DPTEXTURECAPS_SQUAREONLY) w = h = std::max(w, h);

  DDSURFACEDESC2 desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  TextureFormatSearch search;
  search.bitCount = 16;
  search.fourBitAlpha = 1;
  search.found = 0;
  search.destination = &desc.ddpfPixelFormat;
  device->EnumTextureFormats(TextureFormatCallback, &search);
  if (!search.found) return 0;

  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.dwWidth = w;
  desc.dwHeight = h;
  desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
  if (FAILED(directDraw->CreateSurface(&desc, texture, nullptr))) return 0;
  desc.dwSize = sizeof desc;
  if (FAILED((*texture)->GetSurfaceDesc(&desc))) return 0;

  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
  desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
  desc.ddsCaps.dwCaps2 = 0;
  desc.dwWidth = static_cast<DWORD>(picture.width);
  desc.dwHeight = static_cast<DWORD>(picture.height);
  IDirectDrawSurface7* staging = nullptr;
  if (FAILED(directDraw->CreateSurface(&desc, &staging, nullptr))) return 0;

  if (staging->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
    staging->Release();
    return 0;
  }
  auto* bits = static_cast<std::uint8_t*>(desc.lpSurface);
  std::size_t pitch = static_cast<std::size_t>(desc.lPitch) & ~static_cast<std::size_t>(1);
  DWORD rows = std::min<DWORD>(desc.dwHeight, static_cast<DWORD>(picture.height));
  DWORD columns = std::min<DWORD>(desc.dwWidth, static_cast<DWORD>(picture.width));
  for (DWORD y = 0; y < rows; ++y) {
    auto* row = reinterpret_cast<std::uint16_t*>(bits + y * pitch);
    const std::uint32_t* src = picture.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width);
    for (DWORD x = 0; x < columns; ++x) {
      ColourBytes c = ColourBytes::FromPixel(src[x]);
      row[x] = search.fourBitAlpha ? c.ToArgb4444() : c.ToArgb1555();
    }
  }
  staging->Unlock(nullptr);
  (*texture)->Blt(nullptr, staging, nullptr, DDBLT_WAIT, nullptr);
  staging->Release();
  return 1;
}
