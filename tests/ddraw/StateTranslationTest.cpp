// The translation of device settings into the rasterizer's state, without a
// device: values outside each state's range. (What the engine's fixed state
// does to a draw is tested through the device, tests/render.)
#include "platform/ddraw/StateTranslation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace {

using namespace tarn;

DWORD Bits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

struct Settings {
  DWORD rs[256] = {};
  DWORD ts[32] = {};
  D3DMATERIAL7 material{};
  D3DVIEWPORT7 viewport{0, 0, 800, 600, 0.0f, 1.0f};
  int lightsOn = 1;
  raster::State Translate() const {
    return ddraw::TranslateSettings(ddraw::DeviceSettings{rs, ts, material, viewport, lightsOn});
  }
};

// Every state the cases below change, set to a valid value that differs
// from where each case's fallback lands.
Settings Valid() {
  Settings s;
  DWORD* rs = s.rs;
  rs[D3DRENDERSTATE_ZENABLE] = D3DZB_USEW;
  rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
  rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_SRCALPHA;
  rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_INVSRCALPHA;
  rs[D3DRENDERSTATE_ALPHAREF] = 8;
  rs[D3DRENDERSTATE_FOGENABLE] = TRUE;
  rs[D3DRENDERSTATE_FOGTABLEMODE] = D3DFOG_EXP2;
  rs[D3DRENDERSTATE_FOGDENSITY] = Bits(0.015f);
  rs[D3DRENDERSTATE_FOGEND] = Bits(100.0f);
  s.ts[D3DTSS_COLOROP] = s.ts[D3DTSS_ALPHAOP] = D3DTOP_MODULATE;
  s.ts[D3DTSS_MINFILTER] = D3DTFN_LINEAR;
  s.ts[D3DTSS_MAGFILTER] = D3DTFG_LINEAR;
  return s;
}

TEST(StateTranslation, ValuesOutsideAStatesRangeFallBack) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    std::function<void(Settings&)> change;
    std::function<bool(const raster::State&)> holds;
  } cases[] = {
      {"fog off", [](Settings& s) { s.rs[D3DRENDERSTATE_FOGENABLE] = FALSE; },
       [](const raster::State& r) { return r.fog == raster::Fog::None; }},
      {"unknown fog mode", [](Settings& s) { s.rs[D3DRENDERSTATE_FOGTABLEMODE] = 9; },
       [](const raster::State& r) { return r.fog == raster::Fog::None; }},
      {"density not a number", [&](Settings& s) { s.rs[D3DRENDERSTATE_FOGDENSITY] = Bits(nan); },
       [](const raster::State& r) { return r.fogDensity == 0.0f; }},
      {"infinite fog end", [&](Settings& s) { s.rs[D3DRENDERSTATE_FOGEND] = Bits(inf); },
       [](const raster::State& r) { return r.fogEnd == 0.0f; }},
      {"unknown compare", [](Settings& s) { s.rs[D3DRENDERSTATE_ZFUNC] = 0; s.rs[D3DRENDERSTATE_ALPHAFUNC] = 99; },
       [](const raster::State& r) {
         return r.zFunc == raster::Compare::Always && r.alphaFunc == raster::Compare::Always;
       }},
      {"unknown blend factors", [](Settings& s) { s.rs[D3DRENDERSTATE_SRCBLEND] = 0; s.rs[D3DRENDERSTATE_DESTBLEND] = 77; },
       [](const raster::State& r) { return r.srcBlend == raster::Blend::One && r.destBlend == raster::Blend::Zero; }},
      {"alpha reference above a byte", [](Settings& s) { s.rs[D3DRENDERSTATE_ALPHAREF] = 0x1234; },
       [](const raster::State& r) { return r.alphaRef == 0x34; }},
      {"fog colour with alpha", [](Settings& s) { s.rs[D3DRENDERSTATE_FOGCOLOR] = 0xFF102030; },
       [](const raster::State& r) { return r.fogColour == 0x102030u; }},
      {"colour stage disabled", [](Settings& s) { s.ts[D3DTSS_COLOROP] = D3DTOP_DISABLE; },
       [](const raster::State& r) {
         return r.colourOp == raster::TextureOp::Disable && r.alphaOp == raster::TextureOp::Disable;
       }},
      {"point filtering", [](Settings& s) { s.ts[D3DTSS_MINFILTER] = D3DTFN_POINT; s.ts[D3DTSS_MAGFILTER] = D3DTFG_POINT; },
       [](const raster::State& r) { return !r.bilinear; }},
      {"z-buffer on", [](Settings& s) { s.rs[D3DRENDERSTATE_ZENABLE] = D3DZB_TRUE; },
       [](const raster::State& r) { return r.zEnable && !r.useW; }},
      {"cull none, flat", [](Settings& s) { s.rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_NONE; s.rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_FLAT; },
       [](const raster::State& r) { return r.cull == raster::Cull::None && !r.gouraud; }},
      {"more lights than the rasterizer holds", [](Settings& s) { s.lightsOn = 12; },
       [](const raster::State& r) { return r.lights[raster::State::kLights - 1].enabled; }},
      {"no light", [](Settings& s) { s.lightsOn = 0; },
       [](const raster::State& r) { return !r.lights[0].enabled; }},
  };
  for (const Case& c : cases) {
    Settings s = Valid();
    c.change(s);
    EXPECT_TRUE(c.holds(s.Translate())) << c.what;
  }
}

}  // namespace
