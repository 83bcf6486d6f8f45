// The engine's device set-up, its log, the fixed state and texture making,
// against the software layer with its profiles and injected failures.
#include "tests/common/TempDir.h"
#include "engine/render/EngineDevice.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/ddraw/DDrawControl.h"

namespace {

const char* const kSteps[14] = {"DrawCreate",        "SetCooperativeLevel", "Display Mode",         "Direct3D",
                                "Primary Surface",   "CreateClipper",       "Create BackBuffer",    "RenderBuffer Surface",
                                "EnumZBuffer",       "ZBuffer Surface",     "AddAttachedSurface",   "Create3DDevice",
                                "SetViewport",       "SetMaterial"};

HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)); }

// Each test runs in a fresh directory (the log is "Tarn.log" of the working
// directory) with the default driver, and ends with no live object.
class EngineDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tarn::ddraw::ResetLayer();
    live_ = tarn::ddraw::LiveObjects();
  }
  void TearDown() override {
    engine_.ReleaseDevice();
    EXPECT_EQ(tarn::ddraw::LiveObjects(), live_);
    tarn::ddraw::ResetLayer();
  }
  std::vector<std::string> Log() {
    std::vector<std::string> lines;
    std::ifstream in("Tarn.log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void SetUpScreen(int w, int h) {
    engine_.screen = RECT{0, 0, w, h};
    engine_.SetUpDevice(w, h, FakeWindow());
  }

  EngineDevice engine_;
  tarn::test::TempWorkDir dir_;  // the working directory while the test runs
  int live_ = 0;
};

DDSURFACEDESC2 Describe(IDirectDrawSurface7* s) {
  DDSURFACEDESC2 d;
  std::memset(&d, 0, sizeof d);
  d.dwSize = sizeof d;
  EXPECT_EQ(s->GetSurfaceDesc(&d), DD_OK);
  return d;
}

Image Picture(int w, int h, std::uint32_t pixel) {
  Image p;
  p.width = w;
  p.height = h;
  p.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), pixel);
  return p;
}

}  // namespace

TEST_F(EngineDeviceTest, AWorkingStartLogsFourteenLinesWithTheBackBufferAsTheOnlyError) {
  SetUpScreen(800, 600);
  auto log = Log();
  ASSERT_EQ(log.size(), 14u);
  for (int i = 0; i < 14; ++i) {
    std::string want = std::string(i == 6 ? "Error: " : "Succed: ") + kSteps[i];
    EXPECT_EQ(log[static_cast<std::size_t>(i)], want);
  }
  EXPECT_TRUE(engine_.DeviceReady());
  EXPECT_EQ(engine_.backBuffer, nullptr);
  // A second start appends.
  engine_.ReleaseDevice();
  SetUpScreen(320, 240);
  EXPECT_EQ(Log().size(), 28u);
}

TEST_F(EngineDeviceTest, EightHundredBySixHundredReachesEverySurfaceAndRectangle) {
  SetUpScreen(800, 600);
  ASSERT_TRUE(engine_.DeviceReady());
  int mw = 0, mh = 0;
  tarn::ddraw::CurrentDisplayMode(&mw, &mh);
  EXPECT_EQ(mw, 800);
  EXPECT_EQ(mh, 600);
  for (IDirectDrawSurface7* s : {engine_.primarySurface, engine_.renderTarget, engine_.zBuffer}) {
    DDSURFACEDESC2 d = Describe(s);
    EXPECT_EQ(d.dwWidth, 800u);
    EXPECT_EQ(d.dwHeight, 600u);
  }
  D3DVIEWPORT7 vp;
  ASSERT_EQ(engine_.device->GetViewport(&vp), D3D_OK);
  EXPECT_EQ(vp.dwWidth, 800u);
  EXPECT_EQ(vp.dwHeight, 600u);
  EXPECT_EQ(vp.dvMaxZ, 1.0f);
  EXPECT_EQ(engine_.deviceWidth, 800);
  EXPECT_EQ(engine_.deviceHeight, 600);

  // Clear, draw nothing, present: the whole primary is the clear grey.
  engine_.ClearTarget();
  engine_.BeginScene();
  engine_.EndScene();
  engine_.LockRenderTarget();
  ASSERT_NE(engine_.lockedBits, nullptr);
  EXPECT_GE(engine_.lockedPitch, 1600);
  engine_.UnlockRenderTarget();
  engine_.Present();
  std::vector<std::uint16_t> pixels;
  int w = 0, h = 0;
  ASSERT_TRUE(tarn::ddraw::ReadPrimary(&pixels, &w, &h));
  ASSERT_EQ(w, 800);
  ASSERT_EQ(h, 600);
  const std::uint16_t grey = (0xBE >> 3) << 11 | (0xBE >> 2) << 5 | (0xBE >> 3);
  ASSERT_EQ(pixels.size(), std::size_t(800) * 600);
  const auto other = std::find_if(pixels.begin(), pixels.end(), [&](std::uint16_t p) { return p != grey; });
  EXPECT_EQ(other, pixels.end()) << "pixel " << (other - pixels.begin()) % 800 << "," << (other - pixels.begin()) / 800
                                 << " is " << std::hex << (other == pixels.end() ? 0 : *other);
}

TEST_F(EngineDeviceTest, AFailureAtEachStepStopsTheSetUpThere) {
  struct Injection {
    const char* method;
    int nth;
  } steps[14] = {{"DirectDrawCreateEx", 1},
                 {"IDirectDraw7::SetCooperativeLevel", 1},
                 {"IDirectDraw7::SetDisplayMode", 1},
                 {"IDirectDraw7::QueryInterface", 1},
                 {"IDirectDraw7::CreateSurface", 1},
                 {"IDirectDraw7::CreateClipper", 1},
                 {"IDirectDrawSurface7::GetAttachedSurface", 1},
                 {"IDirectDraw7::CreateSurface", 2},
                 {"IDirect3D7::EnumZBufferFormats", 1},
                 {"IDirectDraw7::CreateSurface", 3},
                 {"IDirectDrawSurface7::AddAttachedSurface", 1},
                 {"IDirect3D7::CreateDevice", 1},
                 {"IDirect3DDevice7::SetViewport", 1},
                 {"IDirect3DDevice7::SetMaterial", 1}};
  for (int n = 0; n < 14; ++n) {
    SCOPED_TRACE(kSteps[n]);
    std::remove("Tarn.log");
    tarn::ddraw::ResetLayer();
    tarn::ddraw::FailCall(steps[n].method, steps[n].nth, DDERR_GENERIC);
    SetUpScreen(640, 480);
    auto log = Log();
    if (n == 6) {  // the back-buffer step never stops the set-up
      EXPECT_EQ(log.size(), 14u);
      EXPECT_TRUE(engine_.DeviceReady());
    } else {
      ASSERT_EQ(log.size(), static_cast<std::size_t>(n + 1));
      EXPECT_EQ(log.back(), std::string("Error: ") + kSteps[n]);
      for (int i = 0; i < n; ++i)
        EXPECT_EQ(log[static_cast<std::size_t>(i)].rfind(i == 6 ? "Error: " : "Succed: ", 0), 0u);
      EXPECT_FALSE(engine_.DeviceReady());
      // The frame operations on a partial device do nothing and crash nothing.
      engine_.ClearTarget();
      engine_.BeginScene();
      engine_.EndScene();
      engine_.LockRenderTarget();
      engine_.UnlockRenderTarget();
      engine_.Present();
    }
    engine_.ReleaseDevice();
    EXPECT_EQ(tarn::ddraw::LiveObjects(), live_);
  }
}

TEST_F(EngineDeviceTest, ADriverWithOnlyStencilZFormatsStopsAfterEnumZBuffer) {
  tarn::ddraw::Profile p = tarn::ddraw::DefaultProfile();
  p.zFormats = {tarn::ddraw::FormatZ24S8()};
  tarn::ddraw::SetProfile(p);
  SetUpScreen(640, 480);
  auto log = Log();
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(log.back(), "Succed: EnumZBuffer");
  EXPECT_EQ(engine_.zBuffer, nullptr);
  EXPECT_EQ(engine_.device, nullptr);
  EXPECT_FALSE(engine_.DeviceReady());
}

TEST_F(EngineDeviceTest, TheInitialStateIsTheFixedOne) {
  SetUpScreen(320, 240);
  ASSERT_TRUE(engine_.DeviceReady());
  IDirect3DDevice7* d = engine_.device;
  struct {
    DWORD state, value;
  } want[] = {{D3DRENDERSTATE_ZENABLE, D3DZB_USEW},           {D3DRENDERSTATE_ZWRITEENABLE, TRUE},
              {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
              {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},          {D3DRENDERSTATE_LIGHTING, TRUE},
              {D3DRENDERSTATE_AMBIENT, 0x88888888},            {D3DRENDERSTATE_DITHERENABLE, TRUE},
              {D3DRENDERSTATE_ALPHABLENDENABLE, TRUE},         {D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
              {D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRENDERSTATE_ALPHAREF, 8},
              {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL}, {D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_EXP2},
              {D3DRENDERSTATE_FOGDENSITY, 0x3C75C28F},         {D3DRENDERSTATE_FOGCOLOR, 0x00BEBEBE}};
  for (auto& w : want) {
    DWORD v = 0;
    ASSERT_EQ(d->GetRenderState(w.state, &v), D3D_OK);
    EXPECT_EQ(v, w.value) << "state " << w.state;
  }
  BOOL on = FALSE;
  ASSERT_EQ(d->GetLightEnable(0, &on), D3D_OK);
  EXPECT_TRUE(on);
  DWORD arg = 0;
  d->GetTextureStageState(0, D3DTSS_ALPHAARG2, &arg);
  EXPECT_EQ(arg, static_cast<DWORD>(D3DTA_DIFFUSE));
}

// The fixed state as a draw sees it: squares facing the eye, read back at
// the centre of a black target. Each case is an effect one of the initial
// states has (lighting with the grey ambient, CCW culling, alpha blending,
// the alpha reference, depth writes and LessEqual, the grey fog). Exp and
// exp2 fog, or a z- and a w-buffer, differ by less than a 5-6-5 pixel
// shows here; the rasterizer's tests tell those apart.
TEST_F(EngineDeviceTest, TheInitialStatesShowInWhatIsDrawn) {
  SetUpScreen(64, 64);
  ASSERT_TRUE(engine_.DeviceReady());
  IDirect3DDevice7* d = engine_.device;
  // Perspective, 90 degrees, near 1, far 1000: w is the eye's depth.
  D3DMATRIX projection{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1000.0f / 999.0f, 1, 0, 0, -1000.0f / 999.0f, 0};
  ASSERT_EQ(d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection), D3D_OK);
  struct V {
    float x, y, z, nx, ny, nz;
    DWORD colour;
  };
  struct Square {
    float depth;
    DWORD colour;
    bool reversed = false;
  };
  struct Rgb {
    int r, g, b;
  };
  auto draw = [&](const Square& q) {
    float h = q.depth / 2;  // covers the middle half of the screen
    V v[6] = {{-h, h, q.depth, 0, 0, -1, q.colour},  {h, h, q.depth, 0, 0, -1, q.colour},
              {-h, -h, q.depth, 0, 0, -1, q.colour}, {h, h, q.depth, 0, 0, -1, q.colour},
              {h, -h, q.depth, 0, 0, -1, q.colour},  {-h, -h, q.depth, 0, 0, -1, q.colour}};
    if (q.reversed) std::swap(v[1], v[2]), std::swap(v[4], v[5]);
    EXPECT_EQ(d->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE, v, 6, 0), D3D_OK);
  };
  auto centre = [&](std::initializer_list<Square> squares) {
    D3DRECT all{0, 0, 64, 64};
    EXPECT_EQ(d->Clear(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    d->BeginScene();
    for (const Square& q : squares) draw(q);
    d->EndScene();
    DDSURFACEDESC2 desc = Describe(engine_.renderTarget);
    EXPECT_EQ(engine_.renderTarget->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    std::uint16_t p = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(desc.lpSurface) + 32 * desc.lPitch)[32];
    engine_.renderTarget->Unlock(nullptr);
    return Rgb{(p >> 11) * 255 / 31, (p >> 5 & 63) * 255 / 63, (p & 31) * 255 / 31};
  };
  constexpr DWORD kBlue = 0xFF0000FF, kGreen = 0xFF00FF00;
  // The grey ambient (0x88) lights every square; the vertex colour is its
  // diffuse colour under the default light, which faces each square.
  struct Case {
    const char* what;
    std::initializer_list<Square> squares;
    Rgb want;
  } cases[] = {
      {"lit: the ambient plus the vertex colour", {{4, kBlue}}, {0x88, 0x88, 0xFF}},
      {"the other winding is culled", {{4, kBlue, true}}, {0, 0, 0}},
      {"half alpha blends over black", {{4, 0x800000FF}}, {0x44, 0x44, 0x80}},
      {"alpha 7 fails the test, leaving the depth to the far square", {{2, 0x070000FF}, {8, kGreen}}, {0x88, 0xFF, 0x88}},
      {"alpha 8 passes and keeps the far square out", {{2, 0x080000FF}, {8, kGreen}}, {4, 4, 8}},
      {"a farther square drawn later stays hidden", {{4, kBlue}, {8, kGreen}}, {0x88, 0x88, 0xFF}},
      {"an equal depth passes", {{4, kBlue}, {4, kGreen}}, {0x88, 0xFF, 0x88}},
      {"far away the fog colour takes over", {{150, kBlue}}, {0xBE, 0xBE, 0xBE}},
  };
  for (const Case& c : cases) {
    Rgb got = centre(c.squares);
    EXPECT_NEAR(got.r, c.want.r, 12) << c.what;
    EXPECT_NEAR(got.g, c.want.g, 12) << c.what;
    EXPECT_NEAR(got.b, c.want.b, 12) << c.what;
  }
}

TEST_F(EngineDeviceTest, TextureSizesFollowTheDriversRules) {
  struct Case {
    DWORD caps, maxW, maxH;
    int w, h;
    DWORD wantW, wantH;
  } cases[] = {
      {D3DPTEXTURECAPS_POW2, 2048, 2048, 100, 60, 128, 64},
      {D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, 2048, 2048, 100, 60, 128, 128},
      {D3DPTEXTURECAPS_POW2, 0, 0, 512, 512, 256, 256},
      {0, 2048, 2048, 100, 60, 100, 60},
      {D3DPTEXTURECAPS_POW2, 2048, 2048, 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    tarn::ddraw::Profile p = tarn::ddraw::DefaultProfile();
    p.textureCaps = c.caps;
    p.maxTextureWidth = c.maxW;
    p.maxTextureHeight = c.maxH;
    p.pitchPadding = 6;  // a pitch wider than the row
    tarn::ddraw::SetProfile(p);
    SetUpScreen(64, 64);
    ASSERT_TRUE(engine_.DeviceReady());
    Image picture = Picture(c.w, c.h, 0xFF804020);
    IDirectDrawSurface7* texture = nullptr;
    ASSERT_EQ(engine_.CreateTexture(picture, &texture), 1) << c.w << "x" << c.h;
    ASSERT_NE(texture, nullptr);
    DDSURFACEDESC2 d = Describe(texture);
    EXPECT_EQ(d.dwWidth, c.wantW);
    EXPECT_EQ(d.dwHeight, c.wantH);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBAlphaBitMask, 0xF000u);
    EXPECT_TRUE(d.ddsCaps.dwCaps2 & DDSCAPS2_TEXTUREMANAGE);
    // Every texel, the stretched ones included, is the converted pixel.
    ASSERT_EQ(texture->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_GT(d.lPitch, static_cast<LONG>(d.dwWidth * 2));
    int wrong = 0;
    for (DWORD y = 0; y < d.dwHeight; ++y)
      for (DWORD x = 0; x < d.dwWidth; ++x)
        wrong += reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(d.lpSurface) + y * static_cast<DWORD>(d.lPitch))[x] != 0xF842;
    EXPECT_EQ(wrong, 0);
    texture->Unlock(nullptr);
    texture->Release();
    engine_.ReleaseDevice();
  }
}

TEST_F(EngineDeviceTest, TheStretchingBlitSamplesThePicture) {
  SetUpScreen(64, 64);
  Image picture = Picture(3, 2, 0);
  for (int i = 0; i < 6; ++i) picture.pixels[static_cast<std::size_t>(i)] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x10) << 16;
  IDirectDrawSurface7* texture = nullptr;
  ASSERT_EQ(engine_.CreateTexture(picture, &texture), 1);
  DDSURFACEDESC2 d;
  std::memset(&d, 0, sizeof d);
  d.dwSize = sizeof d;
  ASSERT_EQ(texture->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  ASSERT_EQ(d.dwWidth, 4u);
  ASSERT_EQ(d.dwHeight, 2u);
  auto texel = [&](int x, int y) {
    return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(d.lpSurface) + y * d.lPitch)[x];
  };
  // Destination column i takes source floor(i x 3 / 4): 0, 0, 1, 2.
  int source[4] = {0, 0, 1, 2};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(texel(x, 1), 0xF000 | ((3 + source[x]) * 0x10 >> 4) << 8) << x;
  texture->Unlock(nullptr);
  texture->Release();
}

TEST_F(EngineDeviceTest, NoFourBitAlphaFormatOrNoPictureMeansNoTexture) {
  tarn::ddraw::Profile p = tarn::ddraw::DefaultProfile();
  p.textureFormats = {tarn::ddraw::FormatRgb565(), tarn::ddraw::FormatArgb1555(), tarn::ddraw::FormatArgb8888()};
  tarn::ddraw::SetProfile(p);
  SetUpScreen(64, 64);
  ASSERT_TRUE(engine_.DeviceReady());
  tarn::ddraw::WatchCalls(true);
  int surfaces = tarn::ddraw::CallCount("IDirectDraw7::CreateSurface");
  Image picture = Picture(16, 16, 0xFFFFFFFF);
  IDirectDrawSurface7* texture = nullptr;
  EXPECT_EQ(engine_.CreateTexture(picture, &texture), 0);
  EXPECT_EQ(texture, nullptr);
  EXPECT_EQ(tarn::ddraw::CallCount("IDirectDraw7::CreateSurface"), surfaces);

  tarn::ddraw::SetProfile(tarn::ddraw::DefaultProfile());
  Image empty;
  texture = reinterpret_cast<IDirectDrawSurface7*>(&picture);  // stale garbage in the entry
  EXPECT_EQ(engine_.CreateTexture(empty, &texture), 0);
  EXPECT_EQ(texture, nullptr);
  Image lying = Picture(8, 8, 0xFFFFFFFF);
  lying.pixels.resize(10);  // fewer pixels than its size claims
  texture = nullptr;
  EXPECT_EQ(engine_.CreateTexture(lying, &texture), 0);
  EXPECT_EQ(texture, nullptr);
  EXPECT_EQ(tarn::ddraw::CallCount("IDirectDraw7::CreateSurface"), surfaces);
}

TEST_F(EngineDeviceTest, WriteLogFormatsAndMirrorsTheCode) {
  EXPECT_EQ(WriteLog(0, "step %d", 3), 1);
  EXPECT_EQ(WriteLog(1, "odd"), 0);
  EXPECT_EQ(WriteLog(static_cast<std::int32_t>(0x88760000u), "%s", "neg"), 0);
  std::string longText(400, 'x');
  EXPECT_EQ(WriteLog(0, "%s", longText.c_str()), 1);
  auto log = Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], "Succed: step 3");
  EXPECT_EQ(log[1], "Error: odd");
  EXPECT_EQ(log[2], "Error: neg");
  EXPECT_EQ(log[3], "Succed: " + std::string(255, 'x'));
}

#include "engine/world/WorldMap.h"

namespace {

// One picture named many times: each entry a texture of its own, until the
// table's textures hold their budget; the entries beyond it stay empty.
TEST_F(EngineDeviceTest, ATextureListStopsAtItsBudget) {
  SetUpScreen(64, 64);
  std::string bmp(54 + 64 * 64 * 3, '\0');
  const unsigned char header[] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 64, 0, 0, 0,
                                  64, 0, 0, 0, 1, 0, 24, 0};
  std::memcpy(bmp.data(), header, sizeof header);
  tarn::test::WriteFile("big.bmp", bmp);
  std::string list = "Count 8\n";
  for (int i = 0; i < 8; ++i) list += "Bitmap " + std::to_string(i) + " big.bmp\n";
  list += "Bitmap 0 big.bmp\n";  // a replaced entry gives its bytes back first
  tarn::test::WriteFile("t.lst", list);
  RenderSwitches switches;
  WorldServices services;
  services.context = &engine_;
  services.createTexture = [](void* c, Image& p, IDirectDrawSurface7** t) {
    return static_cast<int>(static_cast<EngineDevice*>(c)->CreateTexture(p, t));
  };
  services.textureBudget = 3 * 64 * 64 * 2;  // three 64 x 64 textures of 16 bits
  ASSERT_EQ(LoadTextureList("t.lst", &switches, services), 1);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(switches.textures[i] != nullptr, i < 3) << i;
  EXPECT_EQ(switches.textureBytes, services.textureBudget);
  int refused = 0;
  for (const std::string& line : Log()) refused += line.find("this one is not made") != std::string::npos;
  EXPECT_EQ(refused, 5);
  switches.ReleaseTextures();
}

}  // namespace
