// The DirectDraw stand-in: surfaces, blits with the clipper, surface DCs and
// their text, reference counts, the display sink, misuse.
#include <ddraw.h>
#include <d3d.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/DDrawControl.h"

namespace {

HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)); }

DDSURFACEDESC2 Desc() {
  DDSURFACEDESC2 d;
  std::memset(&d, 0, sizeof d);
  d.dwSize = sizeof d;
  return d;
}

struct Sink : tarn::ddraw::DisplaySink {
  int presents = 0;
  int width = 0, height = 0, pitch = 0;
  std::uint16_t first = 0;
  void Present(const std::uint16_t* pixels, int pitchBytes, int w, int h) override {
    ++presents;
    width = w;
    height = h;
    pitch = pitchBytes;
    first = pixels[0];
  }
};

class DDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tarn::ddraw::ResetLayer();
    live_ = tarn::ddraw::LiveObjects();
    ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd_), IID_IDirectDraw7, nullptr), DD_OK);
    ASSERT_EQ(dd_->SetCooperativeLevel(FakeWindow(), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  }
  void TearDown() override {
    if (dd_) dd_->Release();
    EXPECT_EQ(tarn::ddraw::LiveObjects(), live_);
    tarn::ddraw::ResetLayer();
  }
  IDirectDrawSurface7* Plain(int w, int h, DWORD caps = DDSCAPS_OFFSCREENPLAIN) {
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    d.ddsCaps.dwCaps = caps;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
    return s;
  }
  static std::uint16_t& Pixel(DDSURFACEDESC2& d, int x, int y) {
    return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(d.lpSurface) + y * d.lPitch)[x];
  }

  IDirectDraw7* dd_ = nullptr;
  int live_ = 0;
};

}  // namespace

TEST_F(DDrawTest, LockHonoursThePitchOfTheProfile) {
  tarn::ddraw::Profile p = tarn::ddraw::DefaultProfile();
  p.pitchPadding = 10;
  tarn::ddraw::SetProfile(p);
  IDirectDrawSurface7* s = Plain(7, 3);
  DDSURFACEDESC2 d = Desc();
  ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(d.dwWidth, 7u);
  EXPECT_GT(d.lPitch, 14);
  EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0xF800u);
  Pixel(d, 6, 2) = 0x1234;  // the last pixel of the last row is inside the memory
  EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  // Text may be drawn through a DC while the surface is locked (the
  // engine's status glyphs are), and it lands in the locked memory.
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  RECT all{0, 0, 7, 3};
  SetBkColor(dc, RGB(255, 255, 255));
  EXPECT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &all, "", 0, nullptr));
  EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(Pixel(d, 6, 2), 0xFFFF);
  EXPECT_EQ(s->Unlock(nullptr), DD_OK);
  EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
  RECT outside{5, 0, 9, 2};
  EXPECT_EQ(s->Lock(&outside, &d, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
  DDSURFACEDESC2 wrongSize = Desc();
  wrongSize.dwSize = 124 - 1;
  EXPECT_EQ(s->Lock(nullptr, &wrongSize, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
  s->Release();
}

TEST_F(DDrawTest, CreateSurfaceRefusesWhatTheDriverCannotMake) {
  DDSURFACEDESC2 d = Desc();
  IDirectDrawSurface7* s = reinterpret_cast<IDirectDrawSurface7*>(&d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);  // 0 x 0
  EXPECT_EQ(s, nullptr);
  d.dwWidth = 0x80000000u;
  d.dwHeight = 2;
  EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
  d.dwWidth = 16000;
  d.dwHeight = 16000;
  EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DDERR_OUTOFMEMORY);
  // A driver texture that breaks the power-of-two rule; staging copies may.
  d.dwWidth = 100;
  d.dwHeight = 60;
  d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
  d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
  ASSERT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
  s->Release();
  // A z-buffer in a format the driver does not offer.
  d.dwFlags |= DDSD_PIXELFORMAT;
  d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
  d.ddpfPixelFormat = tarn::ddraw::FormatZ32();
  EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
  EXPECT_EQ(dd_->CreateSurface(nullptr, &s, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DDrawTest, BltStretchesByPointSamplingAndTheClipperKeepsItOnTheSurface) {
  ASSERT_EQ(dd_->SetDisplayMode(8, 4, 16, 0, 0), DD_OK);
  DDSURFACEDESC2 pd = Desc();
  pd.dwFlags = DDSD_CAPS;
  pd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface7* primary = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&pd, &primary, nullptr), DD_OK);
  IDirectDrawSurface7* src = Plain(3, 2);
  DDSURFACEDESC2 d = Desc();
  ASSERT_EQ(src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) Pixel(d, x, y) = static_cast<std::uint16_t>(y * 10 + x + 1);
  src->Unlock(nullptr);

  Sink sink;
  tarn::ddraw::SetDisplaySink(&sink);
  RECT wide{-4, 0, 12, 4};  // twice the surface's width, half of it off screen
  EXPECT_EQ(primary->Blt(&wide, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);  // no clipper yet
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd_->CreateClipper(0, &clipper, nullptr), DD_OK);
  clipper->SetHWnd(0, FakeWindow());
  primary->SetClipper(clipper);
  clipper->Release();  // the surface keeps its own reference
  ASSERT_EQ(primary->Blt(&wide, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(sink.presents, 1);
  EXPECT_EQ(sink.width, 8);
  std::vector<std::uint16_t> px;
  int w = 0, h = 0;
  ASSERT_TRUE(tarn::ddraw::ReadPrimary(&px, &w, &h));
  // Destination column i (from -4) takes source floor((i + 4) x 3 / 16).
  for (int x = 0; x < 8; ++x) EXPECT_EQ(px[static_cast<std::size_t>(x)], (x + 4) * 3 / 16 + 1) << x;
  for (int x = 0; x < 8; ++x) EXPECT_EQ(px[static_cast<std::size_t>(3 * 8 + x)], 10 + (x + 4) * 3 / 16 + 1) << x;

  DDBLTFX fx;
  std::memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xF800;
  ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  EXPECT_EQ(sink.first, 0xF800);
  EXPECT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
  tarn::ddraw::SetDisplaySink(nullptr);
  src->Release();
  primary->Release();
  EXPECT_FALSE(tarn::ddraw::ReadPrimary(&px, &w, &h));
}

TEST_F(DDrawTest, SurfaceDcDrawsUnifontTextAtItsTopLeft) {
  IDirectDrawSurface7* s = Plain(64, 20);
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  HDC second = nullptr;
  EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
  DDSURFACEDESC2 d = Desc();
  EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);  // a fresh DC is opaque
  SetTextColor(dc, RGB(255, 255, 255));
  // "A" then the Hangul syllable GA (code page 949 B0 A1): 8 + 16 wide.
  const char text[] = "A\xB0\xA1";
  ASSERT_TRUE(TextOutA(dc, 2, 1, text, 3));
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32A(dc, text, 3, &size));
  EXPECT_EQ(size.cx, 24);
  EXPECT_EQ(size.cy, 16);
  ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(s->ReleaseDC(dc), DDERR_NODC);
  EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1));  // a released DC draws nothing

  ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  int minX = 99, maxX = -1, minY = 99, maxY = -1;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 64; ++x)
      if (Pixel(d, x, y) == 0xFFFF) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      } else {
        EXPECT_EQ(Pixel(d, x, y), 0) << x << "," << y;  // transparent: untouched
      }
  EXPECT_GE(minX, 2);
  EXPECT_LE(maxX, 2 + 24 - 1);
  EXPECT_GT(maxX, 2 + 8);  // the wide glyph reaches past the first cell
  EXPECT_GE(minY, 1);
  EXPECT_LE(maxY, 16);
  s->Unlock(nullptr);
  s->Release();
}

TEST_F(DDrawTest, OpaqueTextFillsItsCellsAndAMissingFontDrawsBoxes) {
  std::vector<std::uint16_t> buffer(40 * 20, 0x1111);
  HDC dc = tarn::win32::CreateBufferDc(buffer.data(), 30, 20, 80);  // pitch wider than the row
  ASSERT_NE(dc, nullptr);
  SetBkColor(dc, RGB(0, 0, 255));
  SetTextColor(dc, RGB(255, 0, 0));
  ASSERT_TRUE(TextOutA(dc, 28, 18, "ab", 2));  // runs off the right and bottom edges
  EXPECT_EQ(buffer[static_cast<std::size_t>(18 * 40 + 28)] & 0x001F, 0x001F);
  EXPECT_EQ(buffer[static_cast<std::size_t>(18 * 40 + 30)], 0x1111);  // padding beyond the width untouched
  RECT r{0, 0, 10, 5};
  ASSERT_TRUE(ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, "", 0, nullptr));
  EXPECT_EQ(buffer[4 * 40 + 9], 0x001F);
  EXPECT_EQ(buffer[5 * 40 + 9], 0x1111);
  EXPECT_FALSE(TextOutA(nullptr, 0, 0, "a", 1));
  EXPECT_FALSE(TextOutA(dc, 0, 0, nullptr, 5));
  std::string huge(100000, '\xB0');
  EXPECT_TRUE(TextOutA(dc, -50, -3, huge.c_str(), static_cast<int>(huge.size())));

  tarn::win32::SetGlyphFontPath("/nonexistent/unifont.hex");
  testing::internal::CaptureStderr();
  std::fill(buffer.begin(), buffer.end(), 0);
  SetBkMode(dc, TRANSPARENT);
  ASSERT_TRUE(TextOutA(dc, 0, 0, "A", 1));
  ASSERT_TRUE(TextOutA(dc, 0, 0, "A", 1));
  std::string warning = testing::internal::GetCapturedStderr();
  EXPECT_NE(warning.find("unifont"), std::string::npos);
  EXPECT_EQ(warning.find("unifont", warning.find("unifont") + 1), std::string::npos);  // once
  EXPECT_EQ(buffer[1 * 40 + 0], 0xF800);  // the box's left side
  EXPECT_EQ(buffer[1 * 40 + 7], 0xF800);  // and its right side, 8 wide
  tarn::win32::SetGlyphFontPath(nullptr);
  tarn::win32::DeleteBufferDc(dc);
  EXPECT_EQ(tarn::win32::LiveBufferDcs(), 0);
}

TEST_F(DDrawTest, ReferencesAreCountedAcrossAttachmentsAndBindings) {
  IDirectDrawSurface7* target = Plain(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  DDSURFACEDESC2 d = Desc();
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  d.dwWidth = d.dwHeight = 16;
  d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
  d.ddpfPixelFormat = tarn::ddraw::FormatZ16();
  IDirectDrawSurface7* z = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&d, &z, nullptr), DD_OK);
  ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
  EXPECT_EQ(target->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
  IDirect3D7* d3d = nullptr;
  ASSERT_EQ(dd_->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d)), S_OK);
  IDirect3DDevice7* device = nullptr;
  ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3D_OK);
  d.dwWidth = d.dwHeight = 8;
  d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  d.ddpfPixelFormat = tarn::ddraw::FormatArgb4444();
  IDirectDrawSurface7* texture = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&d, &texture, nullptr), DD_OK);
  ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(device->SetTexture(0, z), DDERR_INVALIDPARAMS);  // not a texture
  // Released in the engine's order, parents first: nothing dangles.
  dd_->Release();
  dd_ = nullptr;
  target->Release();
  z->Release();
  texture->Release();
  d3d->Release();
  EXPECT_GT(tarn::ddraw::LiveObjects(), live_);  // the device still holds the target and texture
  device->Release();
}

TEST_F(DDrawTest, InjectedFailuresHitTheNthCallOnly) {
  tarn::ddraw::FailCall("IDirectDraw7::CreateSurface", 2, DDERR_OUTOFMEMORY);
  IDirectDrawSurface7* a = Plain(4, 4);
  DDSURFACEDESC2 d = Desc();
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.dwWidth = d.dwHeight = 4;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface7* b = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&d, &b, nullptr), DDERR_OUTOFMEMORY);
  EXPECT_EQ(b, nullptr);
  IDirectDrawSurface7* c = Plain(4, 4);
  EXPECT_EQ(tarn::ddraw::CallCount("IDirectDraw7::CreateSurface"), 3);
  a->Release();
  c->Release();
}

TEST_F(DDrawTest, DeviceCallsCheckTheirArguments) {
  IDirectDrawSurface7* target = Plain(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  IDirect3D7* d3d = nullptr;
  ASSERT_EQ(dd_->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d)), S_OK);
  IDirect3DDevice7* device = nullptr;
  IDirectDrawSurface7* plain = Plain(16, 16);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, plain, &device), DDERR_INVALIDCAPS);
  ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3D_OK);
  float v[24] = {};
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, 0), D3DERR_SCENE_NOT_IN_SCENE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, nullptr, 3, 0), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZRHW, v, 3, 0), D3DERR_INVALIDVERTEXFORMAT);
  EXPECT_EQ(device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(99), 0x112, v, 3, 0), D3DERR_INVALIDPRIMITIVETYPE);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 0, 0), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_ZBUFFER_NOTPRESENT);
  EXPECT_EQ(device->SetRenderState(4096, 1), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->SetTextureStageState(9, D3DTSS_COLOROP, 1), DDERR_INVALIDPARAMS);
  D3DVIEWPORT7 tooBig{8, 8, 16, 16, 0.0f, 1.0f};
  EXPECT_EQ(device->SetViewport(&tooBig), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(0), nullptr), DDERR_INVALIDPARAMS);
  BOOL on;
  EXPECT_EQ(device->GetLightEnable(5, &on), DDERR_INVALIDPARAMS);  // never created
  EXPECT_EQ(device->EndScene(), D3D_OK);
  device->Release();
  d3d->Release();
  plain->Release();
  target->Release();
}

TEST_F(DDrawTest, EachKindOfSettingReachesTheNextDraw) {
  // The device keeps its translated settings between draws; each setter
  // must make the next draw see its change.
  IDirectDrawSurface7* target = Plain(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
  IDirect3D7* d3d = nullptr;
  ASSERT_EQ(dd_->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d)), S_OK);
  IDirect3DDevice7* device = nullptr;
  ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3D_OK);
  struct V {
    float x, y, z;
    DWORD colour;
  };
  // A clockwise quad over the whole viewport, white.
  V quad[6] = {{-1, 1, 0.5f, 0xFFFFFFFF}, {1, 1, 0.5f, 0xFFFFFFFF}, {-1, -1, 0.5f, 0xFFFFFFFF},
               {1, 1, 0.5f, 0xFFFFFFFF},  {1, -1, 0.5f, 0xFFFFFFFF}, {-1, -1, 0.5f, 0xFFFFFFFF}};
  auto centre = [&] {
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, quad, 6, 0), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    DDSURFACEDESC2 d = Desc();
    EXPECT_EQ(target->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    std::uint16_t p = Pixel(d, 8, 8);
    target->Unlock(nullptr);
    return p;
  };
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
  EXPECT_EQ(centre(), 0xFFFF);
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);  // black material, no light
  D3DMATERIAL7 red{};
  red.emissive = {1, 0, 0, 1};
  red.diffuse.a = 1;
  EXPECT_EQ(centre(), 0x0000);
  device->SetMaterial(&red);
  EXPECT_EQ(centre(), 0xF800);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
  EXPECT_EQ(centre(), 0x0000);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
  D3DVIEWPORT7 corner{0, 0, 4, 4, 0.0f, 1.0f};
  device->SetViewport(&corner);
  EXPECT_EQ(centre(), 0x0000);
  device->Release();
  d3d->Release();
  target->Release();
}
