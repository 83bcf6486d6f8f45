// Golden pictures: what the device draws with the engine's fixed state,
// compared with reviewed PNGs under tests/render/golden/. TARN_UPDATE_GOLDEN=1
// writes the pictures and fails (tests/common/Golden.h). On a mismatch the
// picture drawn goes to $TARN_BUILD_DIR/golden-actual/.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/common/Golden.h"
#include "tests/common/TempDir.h"
#include "engine/render/EngineDevice.h"
#include "platform/ddraw/DDrawControl.h"
#include "tests/render/Png.h"

namespace {

constexpr int kW = 160, kH = 120;

struct Vertex {  // the engine's vertex format: XYZ | NORMAL | TEX1
  float x, y, z, nx, ny, nz, u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

void Identity(D3DMATRIX& m) {
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
}

D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf) {
  D3DMATRIX m;
  std::memset(&m, 0, sizeof m);
  float ys = 1.0f / std::tan(fovY / 2), xs = ys / aspect;
  m._11 = xs;
  m._22 = ys;
  m._33 = zf / (zf - zn);
  m._34 = 1.0f;
  m._43 = -zn * zf / (zf - zn);
  return m;
}

// A quad facing the camera (-z normal unless given), corners clockwise on
// screen, texture 0..repeat.
void Quad(std::vector<Vertex>& out, float x0, float y0, float x1, float y1, float z, float repeat = 1.0f,
          float nLeft = 0.0f) {
  // nLeft bends the left edge's normal toward -x (0: facing the camera).
  float lx = -nLeft, lz = -(1.0f - nLeft);
  Vertex tl{x0, y1, z, lx, 0, lz, 0, 0}, tr{x1, y1, z, 0, 0, -1, repeat, 0};
  Vertex bl{x0, y0, z, lx, 0, lz, 0, repeat}, br{x1, y0, z, 0, 0, -1, repeat, repeat};
  out.insert(out.end(), {tl, tr, bl, tr, br, bl});
}

// A floor tile at height y from z0 to z1 (seen from above: normal +y).
void Floor(std::vector<Vertex>& out, float x0, float x1, float y, float z0, float z1) {
  Vertex fl{x0, y, z1, 0, 1, 0, 0, 0}, fr{x1, y, z1, 0, 1, 0, 1, 0};
  Vertex nl{x0, y, z0, 0, 1, 0, 0, 1}, nr{x1, y, z0, 0, 1, 0, 1, 1};
  out.insert(out.end(), {fl, fr, nl, fr, nr, nl});
}

Image Checker(int size, int squares, std::uint32_t a, std::uint32_t b) {
  Image p;
  p.width = p.height = size;
  p.pixels.resize(static_cast<std::size_t>(size * size));
  int cell = size / squares;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) p.pixels[static_cast<std::size_t>(y * size + x)] = ((x / cell + y / cell) & 1) ? a : b;
  return p;
}

class GoldenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tarn::ddraw::ResetLayer();
    engine_.screen = RECT{0, 0, kW, kH};
    engine_.SetUpDevice(kW, kH, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)));
    SetTransforms();
  }
  void SetTransforms() {
    ASSERT_TRUE(engine_.DeviceReady());
    D3DMATRIX view, projection = Perspective(0.785398f, static_cast<float>(kW) / kH, 1.0f, 10000.0f);
    Identity(view);
    engine_.device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    engine_.device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
  }
  void TearDown() override {
    for (IDirectDrawSurface7* t : textures_) t->Release();
    engine_.ReleaseDevice();
    EXPECT_EQ(tarn::ddraw::LiveObjects(), 0);
    tarn::ddraw::ResetLayer();
  }
  IDirectDrawSurface7* Texture(Image picture) {
    IDirectDrawSurface7* t = nullptr;
    EXPECT_EQ(engine_.CreateTexture(picture, &t), 1);
    textures_.push_back(t);
    return t;
  }
  void Draw(IDirectDrawSurface7* texture, const std::vector<Vertex>& v, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST) {
    engine_.device->SetTexture(0, texture);
    engine_.device->DrawPrimitive(type, kFvf, const_cast<Vertex*>(v.data()), static_cast<DWORD>(v.size()), 0);
  }
  template <class Scene>
  void Frame(Scene scene) {
    engine_.ClearTarget();
    engine_.BeginScene();
    scene();
    engine_.EndScene();
  }
  void Check(const std::string& name) {
    engine_.Present();
    std::vector<std::uint16_t> got;
    int w = 0, h = 0;
    ASSERT_TRUE(tarn::ddraw::ReadPrimary(&got, &w, &h));
    std::string path = dir_.previous().string() + "/tests/render/golden/" + name + ".png";
    if (tarn::test::UpdatingGolden()) {
      ASSERT_TRUE(tarn::test::WritePng565(path, got, w, h)) << path;
      FAIL() << path << tarn::test::kGoldenWritten;
    }
    std::vector<std::uint16_t> want;
    int ww = 0, wh = 0;
    ASSERT_TRUE(tarn::test::ReadPng565(path, &want, &ww, &wh)) << "missing golden picture " << path
                                                                << " (TARN_UPDATE_GOLDEN=1 writes it)";
    ASSERT_EQ(ww, w);
    ASSERT_EQ(wh, h);
    int off = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
      int dr = std::abs((got[i] >> 11) - (want[i] >> 11)), dg = std::abs(((got[i] >> 5) & 63) - ((want[i] >> 5) & 63)),
          db = std::abs((got[i] & 31) - (want[i] & 31));
      off += (dr > 1 || dg > 1 || db > 1) ? 1 : 0;
    }
    // One step of a 5- or 6-bit channel is rounding (the pictures need it: a
    // few of their pixels are a step off today); a pixel further off is a
    // changed picture, and no pixel may be.
    if (off > 0) {
      const char* build = std::getenv("TARN_BUILD_DIR");
      std::string outDir = (dir_.previous() / (build ? build : "build") / "golden-actual").string();
      mkdir(outDir.c_str(), 0755);
      tarn::test::WritePng565(outDir + "/" + name + ".png", got, w, h);
      ADD_FAILURE() << name << ": " << off << " pixels differ; drawn picture in " << outDir;
    }
  }

  EngineDevice engine_;
  std::vector<IDirectDrawSurface7*> textures_;
  tarn::test::TempWorkDir dir_;  // the working directory while the test runs
};

}  // namespace

TEST_F(GoldenTest, LitTexturedQuad) {
  IDirectDrawSurface7* t = Texture(Checker(64, 8, 0xFFE0A040, 0xFF3060C0));
  std::vector<Vertex> v;
  Quad(v, -1.5f, -1.1f, 1.5f, 1.1f, 4.0f, 2.0f, 1.0f);  // lit from ambient only on the left, fully on the right
  Frame([&] { Draw(t, v); });
  Check("lit_textured_quad");
}

TEST_F(GoldenTest, APitchWiderThanTheRowDrawsTheSamePicture) {
  engine_.ReleaseDevice();
  tarn::ddraw::Profile p = tarn::ddraw::DefaultProfile();
  p.pitchPadding = 22;
  tarn::ddraw::SetProfile(p);
  engine_.SetUpDevice(kW, kH, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)));
  SetTransforms();
  IDirectDrawSurface7* t = Texture(Checker(64, 8, 0xFFE0A040, 0xFF3060C0));
  std::vector<Vertex> v;
  Quad(v, -1.5f, -1.1f, 1.5f, 1.1f, 4.0f, 2.0f, 1.0f);
  Frame([&] { Draw(t, v); });
  Check("lit_textured_quad");
}

TEST_F(GoldenTest, FoggedRowOfQuadsIntoTheDistance) {
  IDirectDrawSurface7* t = Texture(Checker(64, 4, 0xFF20A020, 0xFFF0F0F0));
  std::vector<Vertex> v;
  for (int i = 0; i < 20; ++i) Floor(v, -3.0f, 3.0f, -1.5f, 3.0f + 15.0f * i, 13.0f + 15.0f * i);
  for (int i = 0; i < 10; ++i) Quad(v, 4.0f, -1.5f, 7.0f, 1.5f, 10.0f + 25.0f * i);
  Frame([&] { Draw(t, v); });
  Check("fogged_row");
}

TEST_F(GoldenTest, AlphaTestedTextureCutsHoles) {
  IDirectDrawSurface7* back = Texture(Checker(64, 2, 0xFFC03030, 0xFF802020));
  Image holes = Checker(64, 8, 0xFFFFFF00, 0x04FFFFFF);  // alpha 4: below the reference 8
  IDirectDrawSurface7* front = Texture(holes);
  std::vector<Vertex> b, f;
  Quad(b, -2.5f, -1.8f, 2.5f, 1.8f, 6.0f);
  Quad(f, -1.2f, -1.0f, 1.2f, 1.0f, 3.0f);
  Frame([&] {
    Draw(front, f);  // drawn first: its discarded texels must not write depth
    Draw(back, b);
  });
  Check("alpha_tested");
}

TEST_F(GoldenTest, BlendedTranslucentQuad) {
  IDirectDrawSurface7* back = Texture(Checker(64, 8, 0xFFFFFFFF, 0xFF202020));
  Image glass;
  glass.width = glass.height = 16;
  glass.pixels.assign(256, 0x802060FF);  // alpha 128, blue
  IDirectDrawSurface7* front = Texture(glass);
  std::vector<Vertex> b, f;
  Quad(b, -2.0f, -1.5f, 2.0f, 1.5f, 6.0f);
  Quad(f, -0.5f, -1.2f, 2.4f, 0.9f, 4.0f);
  Frame([&] {
    Draw(back, b);
    Draw(front, f);
  });
  Check("blended_translucent");
}

TEST_F(GoldenTest, TriangleCrossingTheNearPlane) {
  IDirectDrawSurface7* t = Texture(Checker(64, 8, 0xFFFFC000, 0xFF0040A0));
  // One corner behind the eye, two far in front.
  std::vector<Vertex> v = {{0.0f, -0.3f, -3.0f, 0, 0, -1, 0.5f, 0},
                           {-3.0f, -1.2f, 9.0f, 0, 0, -1, 0, 4},
                           {3.0f, -1.0f, 8.0f, 0, 0, -1, 4, 4}};
  Frame([&] { Draw(t, v); });
  Check("near_plane");
}

TEST_F(GoldenTest, WireframeMesh) {
  // A tilted grid of triangles drawn as a line list, as the engine's
  // wireframe switch does: pairs of vertices, not triangle outlines.
  std::vector<Vertex> v;
  const int n = 6;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      float x0 = -2.0f + i * 4.0f / n, x1 = x0 + 4.0f / n;
      float z0 = 3.0f + j * 6.0f / n, z1 = z0 + 6.0f / n;
      float y = -1.2f;
      Vertex a{x0, y, z1, 0, 1, 0, 0, 0}, b{x1, y, z1, 0, 1, 0, 1, 0}, c{x0, y, z0, 0, 1, 0, 0, 1},
          d{x1, y, z0, 0, 1, 0, 1, 1};
      v.insert(v.end(), {a, b, c, b, d, c});
    }
  Frame([&] { Draw(nullptr, v, D3DPT_LINELIST); });
  Check("wireframe");
}

TEST_F(GoldenTest, TheSameFrameGivesTheSamePixels) {
  IDirectDrawSurface7* t = Texture(Checker(64, 8, 0xFFE0A040, 0xFF3060C0));
  std::vector<Vertex> v;
  for (int i = 0; i < 12; ++i) Floor(v, -3.0f, 3.0f, -1.5f, 3.0f + 9.0f * i, 10.0f + 9.0f * i);
  std::vector<std::uint16_t> first, second;
  int w, h;
  Frame([&] { Draw(t, v); });
  engine_.Present();
  ASSERT_TRUE(tarn::ddraw::ReadPrimary(&first, &w, &h));
  Frame([&] { Draw(t, v); });
  engine_.Present();
  ASSERT_TRUE(tarn::ddraw::ReadPrimary(&second, &w, &h));
  EXPECT_EQ(first, second);
}
