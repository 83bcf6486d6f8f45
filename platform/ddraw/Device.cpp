// IDirect3DDevice7: the device's state and its hand-over to the rasterizer.
#include <cmath>
#include <cstring>

#include "platform/ddraw/Objects.h"
#include "platform/ddraw/StateTranslation.h"

namespace tarn::ddraw {
namespace {

DWORD FloatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

void Identity(D3DMATRIX& m) {
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
}

std::vector<Device*>& LiveDevices() {
  static std::vector<Device*> devices;
  return devices;
}

int ThreadsForNewDevice() {
  int n = CurrentProfile().rasterThreads;
  return n > 0 ? n : raster::DefaultRasterThreads();
}

}  // namespace

void FlushDevices() {
  for (Device* d : LiveDevices()) d->FlushDrawing();
}

Device::Device(Surface* target) : target_(target), rasterizer_(ThreadsForNewDevice()) {
  LiveDevices().push_back(this);
  target_->AddRef();
  for (auto& m : transforms_) Identity(m);
  viewport_ = D3DVIEWPORT7{0, 0, static_cast<DWORD>(target->Width()), static_cast<DWORD>(target->Height()), 0.0f,
                           1.0f};
  std::memset(renderStates_, 0, sizeof renderStates_);
  DWORD* rs = renderStates_;
  rs[D3DRENDERSTATE_ZENABLE] = target->AttachedZ() ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
  rs[D3DRENDERSTATE_LASTPIXEL] = TRUE;
  rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_NONE;
  rs[D3DRENDERSTATE_FOGSTART] = FloatBits(0.0f);
  rs[D3DRENDERSTATE_FOGEND] = FloatBits(1.0f);
  rs[D3DRENDERSTATE_FOGDENSITY] = FloatBits(1.0f);
  rs[D3DRENDERSTATE_CLIPPING] = TRUE;
  rs[D3DRENDERSTATE_LIGHTING] = TRUE;
  rs[D3DRENDERSTATE_COLORVERTEX] = TRUE;
  rs[D3DRENDERSTATE_LOCALVIEWER] = TRUE;
  rs[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRENDERSTATE_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  std::memset(stageStates_, 0, sizeof stageStates_);
  for (int s = 0; s < kStages; ++s) {
    DWORD* ts = stageStates_[s];
    ts[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(s);
    ts[D3DTSS_ADDRESS] = ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    ts[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    ts[D3DTSS_MINFILTER] = D3DTFN_POINT;
    ts[D3DTSS_MIPFILTER] = D3DTFP_NONE;
  }
}

Device::~Device() {
  rasterizer_.Flush();  // queued triangles read the textures and write the target
  std::erase(LiveDevices(), this);
  for (Surface*& t : textures_)
    if (t) t->Release();
  target_->Release();
}

HRESULT Device::QueryInterface(REFIID, void** object) {
  if (object) *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT Device::GetCaps(LPD3DDEVICEDESC7 desc) {
  if (HRESULT hr = Injected("IDirect3DDevice7::GetCaps")) return hr;
  if (!desc) return DDERR_INVALIDPARAMS;
  const Profile& p = CurrentProfile();
  std::memset(desc, 0, sizeof *desc);
  desc->dwDevCaps = D3DDEVCAPS_HWRASTERIZATION;
  for (D3DPRIMCAPS* caps : {&desc->dpcLineCaps, &desc->dpcTriCaps}) {
    caps->dwSize = sizeof(D3DPRIMCAPS);
    caps->dwRasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_WBUFFER |
                         D3DPRASTERCAPS_WFOG | D3DPRASTERCAPS_ZFOG;
    caps->dwTextureCaps = p.textureCaps;
  }
  desc->dwDeviceRenderBitDepth = 0x400;               // DDBD_16
  desc->dwDeviceZBufferBitDepth = 0x400 | 0x200 | 0x100;  // DDBD_16 | DDBD_24 | DDBD_32
  desc->dwMinTextureWidth = desc->dwMinTextureHeight = 1;
  desc->dwMaxTextureWidth = p.maxTextureWidth;
  desc->dwMaxTextureHeight = p.maxTextureHeight;
  desc->wMaxTextureBlendStages = 1;
  desc->wMaxSimultaneousTextures = 1;
  desc->dwMaxActiveLights = raster::State::kLights;
  desc->deviceGUID = IID_IDirect3DHALDevice;
  return D3D_OK;
}

HRESULT Device::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) {
  if (HRESULT hr = Injected("IDirect3DDevice7::EnumTextureFormats")) return hr;
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<DDPIXELFORMAT> formats = CurrentProfile().textureFormats;
  for (DDPIXELFORMAT f : formats)
    if (callback(&f, context) == D3DENUMRET_CANCEL) break;
  return D3D_OK;
}

HRESULT Device::BeginScene() {
  if (HRESULT hr = Injected("IDirect3DDevice7::BeginScene")) return hr;
  if (inScene_) return D3DERR_SCENE_IN_SCENE;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (HRESULT hr = Injected("IDirect3DDevice7::EndScene")) return hr;
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  inScene_ = false;
  rasterizer_.Flush();
  return D3D_OK;
}

raster::Target Device::MakeTarget(Surface* z) {
  raster::Target t;
  t.colour = reinterpret_cast<std::uint16_t*>(target_->Bits());
  t.colourPitch = target_->Pitch();
  t.width = target_->Width();
  t.height = target_->Height();
  if (z) {
    t.depth = z->Bits();
    t.depthPitch = z->Pitch();
    t.depthBytes = z->BytesPerPixel();
    DWORD mask = z->Format().dwZBitMask;
    int bits = 0;
    for (DWORD m = mask; m; m &= m - 1) ++bits;
    // The depth is kept in the low bits; the stencil bits of a 24+8 format
    // are never used, so the whole word may hold z.
    t.depthBits = (z->Format().dwFlags & DDPF_STENCILBUFFER) ? bits : t.depthBytes * 8;
  }
  return t;
}

HRESULT Device::Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR colour, D3DVALUE z, DWORD) {
  if (HRESULT hr = Injected("IDirect3DDevice7::Clear")) return hr;
  if ((count > 0 && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
    return DDERR_INVALIDPARAMS;
  Surface* zs = target_->AttachedZ();
  if ((flags & D3DCLEAR_ZBUFFER) && !zs) return D3DERR_ZBUFFER_NOTPRESENT;
  if (target_->Busy() || (zs && zs->Busy())) return DDERR_SURFACEBUSY;
  raster::Target t = MakeTarget(zs);
  auto rgb = static_cast<std::uint16_t>(((colour >> 19) & 31) << 11 | ((colour >> 10) & 63) << 5 | ((colour >> 3) & 31));
  // Rectangles are clipped to the viewport.
  LONG vx1 = static_cast<LONG>(viewport_.dwX), vy1 = static_cast<LONG>(viewport_.dwY);
  LONG vx2 = vx1 + static_cast<LONG>(viewport_.dwWidth), vy2 = vy1 + static_cast<LONG>(viewport_.dwHeight);
  auto one = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
    rasterizer_.Clear(t, std::max(x1, vx1), std::max(y1, vy1), std::min(x2, vx2), std::min(y2, vy2),
                      (flags & D3DCLEAR_TARGET) != 0, rgb, (flags & D3DCLEAR_ZBUFFER) != 0, z);
  };
  if (count == 0) {
    one(vx1, vy1, vx2, vy2);
  } else {
    for (DWORD i = 0; i < count; ++i) one(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
  }
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) {
  if (HRESULT hr = Injected("IDirect3DDevice7::SetTransform")) return hr;
  if (!matrix || state < D3DTRANSFORMSTATE_WORLD || state > D3DTRANSFORMSTATE_PROJECTION) return DDERR_INVALIDPARAMS;
  transforms_[state] = *matrix;
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) {
  if (HRESULT hr = Injected("IDirect3DDevice7::GetTransform")) return hr;
  if (!matrix || state < D3DTRANSFORMSTATE_WORLD || state > D3DTRANSFORMSTATE_PROJECTION) return DDERR_INVALIDPARAMS;
  *matrix = transforms_[state];
  return D3D_OK;
}

HRESULT Device::SetViewport(LPD3DVIEWPORT7 viewport) {
  if (HRESULT hr = Injected("IDirect3DDevice7::SetViewport")) return hr;
  if (!viewport) return DDERR_INVALIDPARAMS;
  const D3DVIEWPORT7& v = *viewport;
  if (v.dwWidth == 0 || v.dwHeight == 0 || static_cast<std::uint64_t>(v.dwX) + v.dwWidth > static_cast<std::uint64_t>(target_->Width()) ||
      static_cast<std::uint64_t>(v.dwY) + v.dwHeight > static_cast<std::uint64_t>(target_->Height()) ||
      !std::isfinite(v.dvMinZ) || !std::isfinite(v.dvMaxZ) || v.dvMinZ < 0.0f || v.dvMaxZ > 1.0f)
    return DDERR_INVALIDPARAMS;
  viewport_ = v;
  settingsChanged_ = true;
  return D3D_OK;
}

HRESULT Device::GetViewport(LPD3DVIEWPORT7 viewport) {
  if (HRESULT hr = Injected("IDirect3DDevice7::GetViewport")) return hr;
  if (!viewport) return DDERR_INVALIDPARAMS;
  *viewport = viewport_;
  return D3D_OK;
}

HRESULT Device::SetMaterial(LPD3DMATERIAL7 material) {
  if (HRESULT hr = Injected("IDirect3DDevice7::SetMaterial")) return hr;
  if (!material) return DDERR_INVALIDPARAMS;
  material_ = *material;
  settingsChanged_ = true;
  return D3D_OK;
}

HRESULT Device::GetMaterial(LPD3DMATERIAL7 material) {
  if (HRESULT hr = Injected("IDirect3DDevice7::GetMaterial")) return hr;
  if (!material) return DDERR_INVALIDPARAMS;
  *material = material_;
  return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (HRESULT hr = Injected("IDirect3DDevice7::SetRenderState")) return hr;
  if (state == 0 || state >= 256) return DDERR_INVALIDPARAMS;
  renderStates_[state] = value;
  settingsChanged_ = true;
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) {
  if (HRESULT hr = Injected("IDirect3DDevice7::GetRenderState")) return hr;
  if (!value || state == 0 || state >= 256) return DDERR_INVALIDPARAMS;
  *value = renderStates_[state];
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) {
  if (texture) *texture = nullptr;
  if (HRESULT hr = Injected("IDirect3DDevice7::GetTexture")) return hr;
  if (!texture || stage >= kStages) return DDERR_INVALIDPARAMS;
  if (textures_[stage]) {
    textures_[stage]->AddRef();
    *texture = textures_[stage];
  }
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) {
  if (HRESULT hr = Injected("IDirect3DDevice7::SetTexture")) return hr;
  if (stage >= kStages) return DDERR_INVALIDPARAMS;
  Surface* s = nullptr;
  if (texture) {
    s = dynamic_cast<Surface*>(texture);
    if (!s || !(s->Caps().dwCaps & DDSCAPS_TEXTURE) || s->IsZBuffer()) return DDERR_INVALIDPARAMS;
    s->AddRef();
  }
  if (textures_[stage]) textures_[stage]->Release();
  textures_[stage] = s;
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, LPDWORD value) {
  if (HRESULT hr = Injected("IDirect3DDevice7::GetTextureStageState")) return hr;
  if (!value || stage >= kStages || state == 0 || state >= kStageStates) return DDERR_INVALIDPARAMS;
  *value = stageStates_[stage][state];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
  if (HRESULT hr = Injected("IDirect3DDevice7::SetTextureStageState")) return hr;
  if (stage >= kStages || state == 0 || state >= kStageStates) return DDERR_INVALIDPARAMS;
  stageStates_[stage][state] = value;
  settingsChanged_ = settingsChanged_ || stage == 0;
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  if (HRESULT hr = Injected("IDirect3DDevice7::LightEnable")) return hr;
  // Enabling an index that never had a light creates the default light
  // there: directional, white diffuse, direction (0, 0, 1).
  if (enable) {
    int on = 0;
    for (const auto& [i, e] : lights_) on += (e && i != index) ? 1 : 0;
    if (on >= raster::State::kLights) return D3DERR_LIGHT_SET_FAILED;
  }
  lights_[index] = enable != FALSE;
  settingsChanged_ = true;
  return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
  if (HRESULT hr = Injected("IDirect3DDevice7::GetLightEnable")) return hr;
  auto it = lights_.find(index);
  if (!enable || it == lights_.end()) return DDERR_INVALIDPARAMS;
  *enable = it->second ? TRUE : FALSE;
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, DWORD) {
  if (HRESULT hr = Injected("IDirect3DDevice7::DrawPrimitive")) return hr;
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  if (type != D3DPT_TRIANGLELIST && type != D3DPT_LINELIST) {
    return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN ? DDERR_UNSUPPORTED : D3DERR_INVALIDPRIMITIVETYPE;
  }
  if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ) return D3DERR_INVALIDVERTEXFORMAT;
  if (fvf & ~static_cast<DWORD>(D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                                D3DFVF_TEXCOUNT_MASK))
    return D3DERR_INVALIDVERTEXFORMAT;
  if (vertexCount == 0) return D3D_OK;
  if (!vertices) return DDERR_INVALIDPARAMS;
  Surface* zs = target_->AttachedZ();
  if (target_->Busy() || (zs && zs->Busy())) return DDERR_SURFACEBUSY;

  raster::Vertices v;
  v.data = static_cast<const std::uint8_t*>(vertices);
  v.count = vertexCount;
  std::size_t offset = 12;
  if (fvf & D3DFVF_NORMAL) {
    v.normal = static_cast<int>(offset);
    offset += 12;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    v.diffuse = static_cast<int>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) offset += 4;
  DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (texCount > 8) return D3DERR_INVALIDVERTEXFORMAT;
  DWORD coordIndex = stageStates_[0][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
  if (texCount > 0) v.texCoord = static_cast<int>(offset + 8 * std::min<DWORD>(coordIndex, texCount - 1));
  offset += 8 * texCount;
  v.stride = offset;

  if (settingsChanged_) {
    int lightsOn = 0;
    for (const auto& [index, on] : lights_) lightsOn += on ? 1 : 0;
    settings_ = TranslateSettings(DeviceSettings{renderStates_, stageStates_[0], material_, viewport_, lightsOn});
    settingsChanged_ = false;
  }
  raster::State s = settings_;
  std::memcpy(s.world, &transforms_[D3DTRANSFORMSTATE_WORLD], 64);
  std::memcpy(s.view, &transforms_[D3DTRANSFORMSTATE_VIEW], 64);
  std::memcpy(s.projection, &transforms_[D3DTRANSFORMSTATE_PROJECTION], 64);
  s.zEnable = s.zEnable && zs;
  raster::Texture texture;
  if (textures_[0] && texCount > 0) {
    const std::vector<std::uint32_t>& texels = textures_[0]->DecodedArgb();
    texture.texels = texels.data();
    texture.width = textures_[0]->Width();
    texture.height = textures_[0]->Height();
    texture.stride = textures_[0]->Width() + 1;
    texture.opaque = textures_[0]->DecodedOpaque();
    s.texture = &texture;
  }

  rasterizer_.Draw(s, type == D3DPT_TRIANGLELIST ? raster::Primitive::TriangleList : raster::Primitive::LineList, v,
                   MakeTarget(s.zEnable ? zs : nullptr));
  return D3D_OK;
}

}  // namespace tarn::ddraw
