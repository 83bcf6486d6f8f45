// The device's settings as the rasterizer's State.
#include "platform/ddraw/StateTranslation.h"

#include <cmath>
#include <cstring>

namespace tarn::ddraw {
namespace {

float AsFloat(DWORD bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// Value by value rather than by cast: the raster enums are numbered as the
// Direct3D ones today, but nothing ties them together.
raster::Compare ToCompare(DWORD v) {
  switch (v) {
    case D3DCMP_NEVER: return raster::Compare::Never;
    case D3DCMP_LESS: return raster::Compare::Less;
    case D3DCMP_EQUAL: return raster::Compare::Equal;
    case D3DCMP_LESSEQUAL: return raster::Compare::LessEqual;
    case D3DCMP_GREATER: return raster::Compare::Greater;
    case D3DCMP_NOTEQUAL: return raster::Compare::NotEqual;
    case D3DCMP_GREATEREQUAL: return raster::Compare::GreaterEqual;
    default: return raster::Compare::Always;  // D3DCMP_ALWAYS and values out of range
  }
}
raster::Blend ToBlend(DWORD v, raster::Blend fallback) {
  switch (v) {
    case D3DBLEND_ZERO: return raster::Blend::Zero;
    case D3DBLEND_ONE: return raster::Blend::One;
    case D3DBLEND_SRCCOLOR: return raster::Blend::SrcColor;
    case D3DBLEND_INVSRCCOLOR: return raster::Blend::InvSrcColor;
    case D3DBLEND_SRCALPHA: return raster::Blend::SrcAlpha;
    case D3DBLEND_INVSRCALPHA: return raster::Blend::InvSrcAlpha;
    case D3DBLEND_DESTALPHA: return raster::Blend::DestAlpha;
    case D3DBLEND_INVDESTALPHA: return raster::Blend::InvDestAlpha;
    case D3DBLEND_DESTCOLOR: return raster::Blend::DestColor;
    case D3DBLEND_INVDESTCOLOR: return raster::Blend::InvDestColor;
    default: return fallback;  // the blends the rasterizer does not have, and values out of range
  }
}
raster::Fog ToFog(DWORD v) {
  switch (v) {
    case D3DFOG_EXP: return raster::Fog::Exp;
    case D3DFOG_EXP2: return raster::Fog::Exp2;
    case D3DFOG_LINEAR: return raster::Fog::Linear;
    default: return raster::Fog::None;
  }
}
raster::TextureOp ToOp(DWORD v) {
  switch (v) {
    case D3DTOP_DISABLE: return raster::TextureOp::Disable;
    case D3DTOP_SELECTARG1: return raster::TextureOp::SelectArg1;
    case D3DTOP_SELECTARG2: return raster::TextureOp::SelectArg2;
    default: return raster::TextureOp::Modulate;  // the modulate family and the rest
  }
}
raster::Arg ToArg(DWORD v) {
  switch (v & 0xF) {
    case D3DTA_TEXTURE: return raster::Arg::Texture;
    case D3DTA_CURRENT: return raster::Arg::Current;
    default: return raster::Arg::Diffuse;
  }
}
raster::Colour ToColour(const D3DCOLORVALUE& c) { return raster::Colour{c.r, c.g, c.b, c.a}; }

}  // namespace

raster::State TranslateSettings(const DeviceSettings& d) {
  const DWORD* rs = d.renderStates;
  const DWORD* ts = d.stage0;
  raster::State s;
  std::memset(s.world, 0, sizeof s.world);
  s.world[0] = s.world[5] = s.world[10] = s.world[15] = 1.0f;
  std::memcpy(s.view, s.world, sizeof s.view);
  std::memcpy(s.projection, s.world, sizeof s.projection);
  s.viewportX = static_cast<int>(d.viewport.dwX);
  s.viewportY = static_cast<int>(d.viewport.dwY);
  s.viewportWidth = static_cast<int>(d.viewport.dwWidth);
  s.viewportHeight = static_cast<int>(d.viewport.dwHeight);
  s.minZ = d.viewport.dvMinZ;
  s.maxZ = d.viewport.dvMaxZ;
  s.zEnable = rs[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE;
  s.useW = rs[D3DRENDERSTATE_ZENABLE] == D3DZB_USEW;
  s.zWrite = rs[D3DRENDERSTATE_ZWRITEENABLE] != FALSE;
  s.zFunc = ToCompare(rs[D3DRENDERSTATE_ZFUNC]);
  DWORD cull = rs[D3DRENDERSTATE_CULLMODE];
  s.cull = cull == D3DCULL_NONE ? raster::Cull::None : cull == D3DCULL_CW ? raster::Cull::Cw : raster::Cull::Ccw;
  s.gouraud = rs[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
  s.lighting = rs[D3DRENDERSTATE_LIGHTING] != FALSE;
  s.normalizeNormals = rs[D3DRENDERSTATE_NORMALIZENORMALS] != FALSE;
  s.colorVertex = rs[D3DRENDERSTATE_COLORVERTEX] != FALSE;
  s.diffuseSource = static_cast<int>(rs[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE]);
  s.ambientSource = static_cast<int>(rs[D3DRENDERSTATE_AMBIENTMATERIALSOURCE]);
  s.emissiveSource = static_cast<int>(rs[D3DRENDERSTATE_EMISSIVEMATERIALSOURCE]);
  s.ambient = rs[D3DRENDERSTATE_AMBIENT];
  s.material.diffuse = ToColour(d.material.diffuse);
  s.material.ambient = ToColour(d.material.ambient);
  s.material.specular = ToColour(d.material.specular);
  s.material.emissive = ToColour(d.material.emissive);
  for (int i = 0; i < d.lightsOn && i < raster::State::kLights; ++i)
    s.lights[i].enabled = true;  // the default light: the members keep their defaults
  s.fog = rs[D3DRENDERSTATE_FOGENABLE] ? ToFog(rs[D3DRENDERSTATE_FOGTABLEMODE]) : raster::Fog::None;
  s.fogDensity = AsFloat(rs[D3DRENDERSTATE_FOGDENSITY]);
  s.fogStart = AsFloat(rs[D3DRENDERSTATE_FOGSTART]);
  s.fogEnd = AsFloat(rs[D3DRENDERSTATE_FOGEND]);
  if (!std::isfinite(s.fogDensity)) s.fogDensity = 0.0f;
  if (!std::isfinite(s.fogStart)) s.fogStart = 0.0f;
  if (!std::isfinite(s.fogEnd)) s.fogEnd = 0.0f;
  s.fogColour = rs[D3DRENDERSTATE_FOGCOLOR] & 0x00FFFFFF;
  s.alphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != FALSE;
  s.alphaFunc = ToCompare(rs[D3DRENDERSTATE_ALPHAFUNC]);
  s.alphaRef = static_cast<std::uint8_t>(rs[D3DRENDERSTATE_ALPHAREF] & 0xFF);
  s.blend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != FALSE;
  s.srcBlend = ToBlend(rs[D3DRENDERSTATE_SRCBLEND], raster::Blend::One);
  s.destBlend = ToBlend(rs[D3DRENDERSTATE_DESTBLEND], raster::Blend::Zero);
  s.dither = rs[D3DRENDERSTATE_DITHERENABLE] != FALSE;
  s.lastPixel = rs[D3DRENDERSTATE_LASTPIXEL] != FALSE;

  // Linear magnification decides: the layer has no mip maps, and a
  // minified texel is filtered the same way.
  s.bilinear = ts[D3DTSS_MAGFILTER] == D3DTFG_LINEAR || ts[D3DTSS_MINFILTER] == D3DTFN_LINEAR;
  s.colourOp = ToOp(ts[D3DTSS_COLOROP]);
  s.alphaOp = ToOp(ts[D3DTSS_ALPHAOP]);
  s.colourArg1 = ToArg(ts[D3DTSS_COLORARG1]);
  s.colourArg2 = ToArg(ts[D3DTSS_COLORARG2]);
  s.alphaArg1 = ToArg(ts[D3DTSS_ALPHAARG1]);
  s.alphaArg2 = ToArg(ts[D3DTSS_ALPHAARG2]);
  if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE) s.alphaOp = raster::TextureOp::Disable;
  return s;
}

}  // namespace tarn::ddraw
