// Properties of the rasterizer that hold whatever the pixels look like:
// coverage, culling, depth order, exact modulation, near-plane clipping,
// hostile vertices.
#include "platform/raster/Raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "platform/raster/RasterLocal.h"
#include "platform/raster/Setup.h"
#include "platform/raster/VertexStage.h"

using namespace tarn::raster;

namespace {

struct Buffers {
  int w, h;
  std::vector<std::uint16_t> colour;
  std::vector<std::uint16_t> depth;
  int pad;  // texels of padding per row, so that a pitch mix-up shows
  Buffers(int width, int height, int padding = 3)
      : w(width), h(height), colour(static_cast<std::size_t>((width + padding) * height)),
        depth(static_cast<std::size_t>((width + padding) * height), 0xFFFF), pad(padding) {}
  Target target(bool withDepth = true) {
    Target t;
    t.colour = colour.data();
    t.colourPitch = (w + pad) * 2;
    t.width = w;
    t.height = h;
    if (withDepth) {
      t.depth = depth.data();
      t.depthPitch = (w + pad) * 2;
      t.depthBytes = 2;
      t.depthBits = 16;
    }
    return t;
  }
  std::uint16_t at(int x, int y) const { return colour[static_cast<std::size_t>(y * (w + pad) + x)]; }
  int covered() const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += at(x, y) != 0 ? 1 : 0;
    return n;
  }
};

void Identity(float* m) {
  std::memset(m, 0, 64);
  m[0] = m[5] = m[10] = m[15] = 1.0f;
}

// Flat colour, no lighting, identity transforms: clip space is screen space
// scaled to -1..1.
State FlatState(int w, int h) {
  State s;
  Identity(s.world);
  Identity(s.view);
  Identity(s.projection);
  s.viewportWidth = w;
  s.viewportHeight = h;
  s.lighting = false;
  s.cull = Cull::Ccw;
  s.zEnable = false;
  return s;
}

struct ColourVertex {
  float x, y, z;
  std::uint32_t diffuse;
  float u, v;
};

// A vertex at pixel (px, py) of a w x h viewport under FlatState.
ColourVertex At(float px, float py, int w, int h, std::uint32_t colour, float z = 0.5f, float u = 0, float v = 0) {
  return ColourVertex{px * 2.0f / static_cast<float>(w) - 1.0f, 1.0f - py * 2.0f / static_cast<float>(h), z,
                      colour, u, v};
}

Vertices Of(const std::vector<ColourVertex>& v) {
  Vertices in;
  in.data = reinterpret_cast<const std::uint8_t*>(v.data());
  in.stride = sizeof(ColourVertex);
  in.count = v.size();
  in.diffuse = 12;
  in.texCoord = 16;
  return in;
}

void Perspective(float* m, float fovY, float aspect, float zn, float zf) {
  std::memset(m, 0, 64);
  float ys = 1.0f / std::tan(fovY / 2), xs = ys / aspect;
  m[0] = xs;
  m[5] = ys;
  m[10] = zf / (zf - zn);
  m[11] = 1.0f;
  m[14] = -zn * zf / (zf - zn);
}

}  // namespace

TEST(Raster, ClockwiseTriangleIsDrawnWithTheTopLeftRuleAndItsMirrorIsCulled) {
  Buffers b(16, 16);
  Rasterizer r;
  State s = FlatState(16, 16);
  // (0,0), (10,0), (0,10) in y-down screen space is clockwise: drawn.
  std::vector<ColourVertex> tri = {At(0, 0, 16, 16, 0xFFFFFFFF), At(10, 0, 16, 16, 0xFFFFFFFF),
                                   At(0, 10, 16, 16, 0xFFFFFFFF)};
  r.Draw(s, Primitive::TriangleList, Of(tri), b.target());
  // Top and left edges in, the hypotenuse out: 10 + 9 + ... + 1.
  EXPECT_EQ(b.covered(), 55);
  EXPECT_NE(b.at(0, 0), 0);
  EXPECT_EQ(b.at(10, 0), 0);
  EXPECT_EQ(b.at(5, 5), 0);  // on the hypotenuse
  EXPECT_NE(b.at(4, 5), 0);

  Buffers m(16, 16);
  std::vector<ColourVertex> mirror = {tri[0], tri[2], tri[1]};
  r.Draw(s, Primitive::TriangleList, Of(mirror), m.target());
  EXPECT_EQ(m.covered(), 0);
  s.cull = Cull::None;
  r.Draw(s, Primitive::TriangleList, Of(mirror), m.target());
  EXPECT_EQ(m.covered(), 55);
  s.cull = Cull::Cw;
  Buffers c(16, 16);
  r.Draw(s, Primitive::TriangleList, Of(tri), c.target());
  EXPECT_EQ(c.covered(), 0);
}

// Flat shading gives every pixel the first vertex's colour in every channel,
// whichever way the triangle winds: the same pixels as a triangle whose three
// vertices all have that colour.
TEST(Raster, FlatShadingTakesTheFirstVertexsColourInEveryChannel) {
  const std::uint32_t colours[][3] = {
      {0xFF204060, 0xFFE0C0A0, 0xFF10F080},  // every channel differs
      {0xFF102030, 0xFFF02030, 0xFF102030},  // red only
      {0xFF102030, 0xFF10F030, 0xFF1020F0},  // green, then blue
      {0x80808080, 0xFF808080, 0x10808080},  // alpha only
  };
  for (const auto& c : colours)
    for (bool mirrored : {false, true}) {
      Buffers flat(24, 24), want(24, 24);
      Rasterizer r;
      State s = FlatState(24, 24);
      s.cull = Cull::None;
      std::vector<ColourVertex> tri = {At(1, 1, 24, 24, c[0]), At(22, 3, 24, 24, c[1]), At(4, 21, 24, 24, c[2])};
      if (mirrored) std::swap(tri[1], tri[2]);
      std::vector<ColourVertex> one = tri;
      for (auto& v : one) v.diffuse = c[0];
      s.gouraud = false;
      r.Draw(s, Primitive::TriangleList, Of(tri), flat.target());
      s.gouraud = true;
      r.Draw(s, Primitive::TriangleList, Of(one), want.target());
      r.Flush();
      EXPECT_GT(want.covered(), 150);
      EXPECT_EQ(flat.colour, want.colour) << std::hex << c[0] << (mirrored ? " mirrored" : "");
    }
}

TEST(Raster, AFanOfTrianglesCoversEachPixelExactlyOnce) {
  const int w = 64, h = 48;
  Buffers b(w, h);
  State s = FlatState(w, h);
  s.cull = Cull::None;
  s.blend = true;  // additive: a pixel drawn twice shows it
  s.srcBlend = Blend::One;
  s.destBlend = Blend::One;
  // A convex polygon with off-grid corners, split into a fan around an
  // off-grid centre, in both windings.
  const float cx = 31.37f, cy = 22.61f;
  std::vector<std::pair<float, float>> ring;
  for (int i = 0; i < 13; ++i) {
    float a = static_cast<float>(i) * 6.2831853f / 13.0f + 0.1f;
    ring.push_back({cx + 27.3f * std::cos(a), cy + 19.7f * std::sin(a)});
  }
  std::vector<ColourVertex> fan;
  const std::uint32_t unit = 0xFF080808;  // one step of 5-6-5 red and blue
  for (std::size_t i = 0; i < ring.size(); ++i) {
    auto p = ring[i], q = ring[(i + 1) % ring.size()];
    fan.push_back(At(cx, cy, w, h, unit));
    fan.push_back(At(p.first, p.second, w, h, unit));
    fan.push_back(At(q.first, q.second, w, h, unit));
  }
  Rasterizer r;
  r.Draw(s, Primitive::TriangleList, Of(fan), b.target());
  int holes = 0, twice = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int red = b.at(x, y) >> 11;
      if (red > 1) ++twice;
      // Clearly inside the polygon (0.05 pixel from every edge): covered.
      bool inside = true;
      for (std::size_t i = 0; i < ring.size() && inside; ++i) {
        auto p = ring[i], q = ring[(i + 1) % ring.size()];
        float ex = q.first - p.first, ey = q.second - p.second;
        float cross = ex * (static_cast<float>(y) - p.second) - ey * (static_cast<float>(x) - p.first);
        inside = cross / std::sqrt(ex * ex + ey * ey) > 0.05f;
      }
      if (inside && red == 0) ++holes;
    }
  EXPECT_EQ(twice, 0);
  EXPECT_EQ(holes, 0);
  EXPECT_GT(b.covered(), 1000);
}

TEST(Raster, TheEnginesSimdFillCoversEachPixelOnceAndStaysInItsSpan) {
  // The engine's state (texture, bilinear, blending, alpha test, w-buffer)
  // takes the SIMD fill; a translucent texel shows a second coverage,
  // and a write outside the span shows in the guard columns.
  const int w = 61, h = 37;
  Buffers b(w, h);
  std::uint32_t texels[4] = {0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF};
  Texture t{texels, 2, 2};
  State s = FlatState(w, h);
  s.texture = &t;
  s.bilinear = true;
  s.colourOp = s.alphaOp = TextureOp::Modulate;
  s.colourArg2 = s.alphaArg2 = Arg::Diffuse;
  s.blend = true;
  s.srcBlend = Blend::SrcAlpha;
  s.destBlend = Blend::InvSrcAlpha;
  s.alphaTest = true;
  s.alphaFunc = Compare::GreaterEqual;
  s.alphaRef = 8;
  s.zEnable = true;
  s.useW = true;
  s.cull = Cull::None;
  const float cx = 30.41f, cy = 18.77f;
  std::vector<ColourVertex> fan;
  for (int i = 0; i < 11; ++i) {
    float a0 = static_cast<float>(i) * 6.2831853f / 11.0f, a1 = static_cast<float>(i + 1) * 6.2831853f / 11.0f;
    fan.push_back(At(cx, cy, w, h, 0xFFFFFFFF));
    fan.push_back(At(cx + 29.0f * std::cos(a0), cy + 17.5f * std::sin(a0), w, h, 0xFFFFFFFF));
    fan.push_back(At(cx + 29.0f * std::cos(a1), cy + 17.5f * std::sin(a1), w, h, 0xFFFFFFFF));
  }
  std::fill(b.colour.begin(), b.colour.end(), 0x1234);  // the guard columns keep it
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.colour[static_cast<std::size_t>(y * (w + b.pad) + x)] = 0;
  Rasterizer r;
  r.Draw(s, Primitive::TriangleList, Of(fan), b.target());
  const std::uint16_t once = (128 >> 3) << 11 | (128 >> 2) << 5 | (128 >> 3);
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) wrong += (b.at(x, y) != 0 && b.at(x, y) != once) ? 1 : 0;
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(b.covered(), 1200);
  for (int y = 0; y < h; ++y)
    for (int k = 0; k < b.pad; ++k) EXPECT_EQ(b.colour[static_cast<std::size_t>(y * (w + b.pad) + w + k)], 0x1234);
}

TEST(Raster, DepthOrderDoesNotDependOnDrawOrder) {
  const int w = 32, h = 32;
  auto quad = [&](float x0, float y0, float x1, float y1, float z, std::uint32_t c) {
    return std::vector<ColourVertex>{At(x0, y0, w, h, c, z), At(x1, y0, w, h, c, z), At(x0, y1, w, h, c, z),
                                     At(x1, y0, w, h, c, z), At(x1, y1, w, h, c, z), At(x0, y1, w, h, c, z)};
  };
  auto near = quad(4, 4, 20, 20, 0.3f, 0xFFFF0000), far = quad(10, 10, 28, 28, 0.6f, 0xFF0000FF);
  State s = FlatState(w, h);
  s.zEnable = true;
  Rasterizer r;
  Buffers a(w, h), b(w, h);
  r.Draw(s, Primitive::TriangleList, Of(near), a.target());
  r.Draw(s, Primitive::TriangleList, Of(far), a.target());
  r.Draw(s, Primitive::TriangleList, Of(far), b.target());
  r.Draw(s, Primitive::TriangleList, Of(near), b.target());
  EXPECT_EQ(a.colour, b.colour);
  EXPECT_EQ(a.at(15, 15), 0xF800);  // the near one wins the overlap
  EXPECT_EQ(a.at(25, 25), 0x001F);
}

TEST(Raster, OneTexelTextureModulatesExactly) {
  const int w = 8, h = 8;
  struct Case {
    std::uint32_t texel, diffuse;
  } cases[] = {{0xFFFFFFFF, 0xFF808080}, {0xFF808080, 0xFFFFFFFF}, {0xFFFF00FF, 0xFF4020C0}, {0xFF884422, 0xFF000000}};
  for (bool bilinear : {false, true})
    for (const Case& c : cases) {
      std::uint32_t texel = c.texel;
      Texture t{&texel, 1, 1};
      State s = FlatState(w, h);
      s.texture = &t;
      s.bilinear = bilinear;
      s.colourOp = TextureOp::Modulate;
      s.colourArg2 = Arg::Diffuse;
      Buffers b(w, h);
      std::vector<ColourVertex> tri = {At(0, 0, w, h, c.diffuse, 0.5f, 0.3f, 7.9f), At(8, 0, w, h, c.diffuse, 0.5f, -3.2f, 0),
                                       At(0, 8, w, h, c.diffuse, 0.5f, 2.5f, 1.0f)};
      Rasterizer r;
      r.Draw(s, Primitive::TriangleList, Of(tri), b.target());
      auto channel = [&](int shift) {
        int tv = static_cast<int>((c.texel >> shift) & 255), dv = static_cast<int>((c.diffuse >> shift) & 255);
        return static_cast<int>(std::lround(tv * dv / 255.0));
      };
      std::uint16_t want = static_cast<std::uint16_t>((channel(16) >> 3) << 11 | (channel(8) >> 2) << 5 | (channel(0) >> 3));
      EXPECT_EQ(b.at(1, 1), want) << std::hex << c.texel << " x " << c.diffuse << " bilinear " << bilinear;
      EXPECT_EQ(b.at(3, 2), want);
    }
}

TEST(Raster, TriangleCrossingTheNearPlaneIsClippedExactly) {
  const int w = 64, h = 48;
  State s = FlatState(w, h);
  Perspective(s.projection, 1.0f, static_cast<float>(w) / h, 1.0f, 100.0f);
  s.cull = Cull::None;
  // One corner behind the eye, two in front; the near plane is z = 1.
  struct P {
    float x, y, z;
  } a{0.0f, -0.5f, -4.0f}, b{-3.0f, -1.0f, 6.0f}, c{3.0f, 1.5f, 8.0f};
  auto cut = [](P from, P to) {  // where the edge meets z = 1
    float t = (1.0f - from.z) / (to.z - from.z);
    return P{from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t, 1.0f};
  };
  P ab = cut(a, b), ac = cut(a, c);
  auto v = [](P p) { return ColourVertex{p.x, p.y, p.z, 0xFFFFFFFF, 0, 0}; };
  Rasterizer r;
  Buffers crossing(w, h), clipped(w, h);
  r.Draw(s, Primitive::TriangleList, Of({v(a), v(b), v(c)}), crossing.target(false));
  r.Draw(s, Primitive::TriangleList, Of({v(ab), v(b), v(c), v(ab), v(c), v(ac)}), clipped.target(false));
  int differ = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) differ += (crossing.at(x, y) != 0) != (clipped.at(x, y) != 0) ? 1 : 0;
  EXPECT_GT(crossing.covered(), 200);
  EXPECT_LE(differ, 2);  // only rounding at the shared cut edge may differ
}

TEST(Raster, HostileVerticesAreDroppedWithoutHarm) {
  const int w = 16, h = 16;
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  std::vector<ColourVertex> v = {
      {nan, 0, 0.5f, 0xFFFFFFFF, 0, 0},     {0.5f, 0, 0.5f, 0xFFFFFFFF, 0, 0},  {0, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
      {inf, -inf, 0.5f, 0xFFFFFFFF, 0, 0},  {1e30f, 1e30f, 0.5f, 0xFFFFFFFF, 0, 0}, {-1e30f, 1e30f, 0.5f, 0xFFFFFFFF, 0, 0},
      {-1e30f, 1e30f, 0.5f, 0xFFFFFFFF, 0, 0}, {1e30f, 1e30f, 0.5f, 0xFFFFFFFF, 0, 0}, {0, -1e30f, 0.5f, 0xFFFFFFFF, 0, 0},
      // a sane triangle with absurd texture coordinates
      At(0, 0, w, h, 0xFFFFFFFF, 0.5f, 1e20f, nan), At(8, 0, w, h, 0xFFFFFFFF, 0.5f, -1e20f, inf),
      At(0, 8, w, h, 0xFFFFFFFF, 0.5f, 3e9f, -7e9f),
      At(0, 0, w, h, 0xFFFFFFFF),  // a lone vertex: not a triangle
  };
  std::uint32_t texels[4] = {0xFFFFFFFF, 0xFF00FF00, 0xFFFF0000, 0xFF0000FF};
  Texture t{texels, 2, 2};
  for (bool lines : {false, true}) {
    State s = FlatState(w, h);
    s.texture = &t;
    s.bilinear = true;
    s.cull = Cull::None;
    s.zEnable = true;
    s.fog = Fog::Exp2;
    s.fogDensity = 0.015f;
    Buffers b(w, h);
    Rasterizer r;
    r.Draw(s, lines ? Primitive::LineList : Primitive::TriangleList, Of(v), b.target());
    if (!lines) {
      EXPECT_GT(b.covered(), 20);  // the sane triangle still drew
    }
    s.world[0] = nan;                        // a poisoned matrix draws nothing and harms nothing
    Buffers c(w, h);
    r.Draw(s, lines ? Primitive::LineList : Primitive::TriangleList, Of(v), c.target());
    EXPECT_EQ(c.covered(), 0);
  }
}

TEST(Raster, LinesDrawTheirLastPixelAndAreNeverCulled) {
  const int w = 16, h = 16;
  State s = FlatState(w, h);
  for (bool reversed : {false, true}) {
    Buffers b(w, h);
    std::vector<ColourVertex> line = {At(2, 5, w, h, 0xFFFFFFFF), At(10, 5, w, h, 0xFFFFFFFF)};
    if (reversed) std::swap(line[0], line[1]);
    Rasterizer r;
    r.Draw(s, Primitive::LineList, Of(line), b.target());
    EXPECT_EQ(b.covered(), 9);
    for (int x = 2; x <= 10; ++x) EXPECT_NE(b.at(x, 5), 0) << x;
  }
  Buffers d(w, h);
  std::vector<ColourVertex> diagonal = {At(1, 1, w, h, 0xFFFFFFFF), At(12, 7, w, h, 0xFFFFFFFF)};
  Rasterizer r;
  r.Draw(s, Primitive::LineList, Of(diagonal), d.target());
  EXPECT_EQ(d.covered(), 12);  // one pixel per step of the major axis
}

// A line list is drawn after what was queued before it; the draw's own
// shading and texture copy must outlive that wait, also when it fills the
// shading cache past its trim and the texture needs its wrap column.
TEST(Raster, ALineListAfterManyStatesKeepsItsShadingAndTexture) {
  const int w = 32, h = 16;
  std::vector<std::uint32_t> texels(4 * 4, 0xFF00FF00u);  // stride 4: copied with a wrap column
  Texture texture{texels.data(), 4, 4, 4};
  State textured = FlatState(w, h);
  textured.texture = &texture;
  textured.colourOp = textured.alphaOp = TextureOp::SelectArg1;
  textured.colourArg1 = textured.alphaArg1 = Arg::Texture;
  textured.alphaTest = true;
  textured.alphaFunc = Compare::GreaterEqual;
  for (int threads : {1, 3}) {
    Buffers b(w, h);
    Rasterizer r(threads);
    State s = FlatState(w, h);
    s.alphaTest = true;
    s.alphaFunc = Compare::Always;
    for (int i = 0; i < 40; ++i) {  // a shading each, queued on more threads
      s.alphaRef = static_cast<std::uint8_t>(i);
      std::vector<ColourVertex> t = {At(0, 8, w, h, 0xFFFF0000), At(1, 8, w, h, 0xFFFF0000), At(0, 9, w, h, 0xFFFF0000)};
      r.Draw(s, Primitive::TriangleList, Of(t), b.target());
    }
    textured.alphaRef = 200;  // one more shading
    std::vector<ColourVertex> line = {At(4, 3, w, h, 0xFFFFFFFF, 0.5f, 0.5f, 0.5f),
                                      At(28, 3, w, h, 0xFFFFFFFF, 0.5f, 0.5f, 0.5f)};
    r.Draw(textured, Primitive::LineList, Of(line), b.target());
    r.Flush();
    for (int x = 4; x <= 28; ++x) EXPECT_EQ(b.at(x, 3), 0x07E0) << threads << " threads, x " << x;
  }
}

TEST(Raster, Exp2FogAndTheWBufferUseEyeDepth) {
  const int w = 32, h = 32;
  State s = FlatState(w, h);
  Perspective(s.projection, 1.0f, 1.0f, 1.0f, 1001.0f);
  s.zEnable = true;
  s.useW = true;
  s.fog = Fog::Exp2;
  s.fogDensity = 0.015f;
  s.fogColour = 0x000000FF;  // blue fog over a white quad
  const float d = 100.0f;
  std::vector<ColourVertex> quad = {{-200, 200, d, 0xFFFFFFFF, 0, 0}, {200, 200, d, 0xFFFFFFFF, 0, 0},
                                    {-200, -200, d, 0xFFFFFFFF, 0, 0}, {200, 200, d, 0xFFFFFFFF, 0, 0},
                                    {200, -200, d, 0xFFFFFFFF, 0, 0},  {-200, -200, d, 0xFFFFFFFF, 0, 0}};
  Buffers b(w, h);
  Rasterizer r;
  r.Draw(s, Primitive::TriangleList, Of(quad), b.target());
  float f = std::exp(-(d * 0.015f) * (d * 0.015f));
  int red = static_cast<int>(255 * f);
  EXPECT_NEAR((b.at(16, 16) >> 11) << 3, red, 9);
  EXPECT_EQ(b.at(16, 16) & 31, 31);  // fully blue: the fog colour plus the quad's blue
  std::uint16_t stored = b.depth[static_cast<std::size_t>(16 * (w + b.pad) + 16)];
  EXPECT_NEAR(stored, (d - 1.0f) / 1000.0f * 65535.0f, 2.0f);
}

TEST(Raster, TheAlphaTestDecidesColourAndDepth) {
  // Opaque pixels (opaque vertices, and an opaque texture modulated) may skip
  // the alpha test only where 255 passes it. Every function against a low,
  // a middle and the top reference, through the general loop (point
  // sampling) and the engine's SIMD loops (bilinear, 16-bit depth).
  const int w = 8, h = 8;
  std::uint32_t texel = 0xFFFFFFFF;
  Texture opaqueTexture{&texel, 1, 1, 0, true};
  std::vector<ColourVertex> tri = {At(0, 0, w, h, 0xFFFFFFFF), At(8, 0, w, h, 0xFFFFFFFF), At(0, 8, w, h, 0xFFFFFFFF)};
  for (bool textured : {false, true}) {
    for (int f = static_cast<int>(Compare::Never); f <= static_cast<int>(Compare::Always); ++f) {
      for (int ref : {1, 128, 255}) {
        State s = FlatState(w, h);
        s.zEnable = true;
        s.alphaTest = true;
        s.alphaFunc = static_cast<Compare>(f);
        s.alphaRef = static_cast<std::uint8_t>(ref);
        if (textured) {
          s.texture = &opaqueTexture;
          s.bilinear = true;
          s.colourArg2 = s.alphaArg2 = Arg::Diffuse;
          s.colourOp = s.alphaOp = TextureOp::Modulate;
        }
        Buffers b(w, h);
        Rasterizer r;
        r.Draw(s, Primitive::TriangleList, Of(tri), b.target());
        bool drawn = b.covered() > 0;
        EXPECT_EQ(drawn, detail::Passes(s.alphaFunc, 255, s.alphaRef))
            << "function " << f << ", reference " << ref << (textured ? ", textured" : "");
      }
    }
  }
  // A translucent texel is tested with its own alpha: below the reference it
  // writes neither colour nor depth; at the reference it writes both.
  for (std::uint32_t alpha : {4u, 7u, 8u, 9u}) {
    std::uint32_t translucent = alpha << 24 | 0xFFFFFF;
    Texture t{&translucent, 1, 1};
    State s = FlatState(w, h);
    s.texture = &t;
    s.alphaTest = true;
    s.alphaFunc = Compare::GreaterEqual;
    s.alphaRef = 8;
    s.alphaOp = TextureOp::SelectArg1;
    s.zEnable = true;
    Buffers b(w, h);
    Rasterizer r;
    r.Draw(s, Primitive::TriangleList, Of(tri), b.target());
    const bool passes = alpha >= 8;
    EXPECT_EQ(b.covered() > 0, passes) << "alpha " << alpha;
    int depthWritten = 0;
    for (std::uint16_t z : b.depth) depthWritten += z != 0xFFFF;
    EXPECT_EQ(depthWritten > 0, passes) << "alpha " << alpha;
  }
}

TEST(Raster, ClearScalesDepthToTheBitsDrawsUse) {
  // A target's depth bits out of range are clamped as draws clamp them, so a
  // triangle nearer than the cleared depth passes LESSEQUAL whatever the
  // target claims.
  struct Case {
    int bytes, bits;
    std::uint32_t cleared;  // the stored depth after a clear to 0.75
  } cases[] = {{2, 16, 49151}, {2, 0, 1}, {2, -5, 1}, {2, 24, 49151}, {4, 24, 12582911}, {4, 40, 3221225471u},
               {4, 32, 3221225471u}};
  const int w = 8, h = 8;
  for (const Case& c : cases) {
    std::vector<std::uint32_t> depth(static_cast<std::size_t>(w * h), 0x5A5A5A5A);
    Buffers b(w, h);
    Target t = b.target();
    t.depth = depth.data();
    t.depthPitch = w * 4;  // room for either size
    t.depthBytes = c.bytes;
    t.depthBits = c.bits;
    Rasterizer r;
    r.Clear(t, 0, 0, w, h, true, 0, true, 0.75f);
    std::uint32_t stored = c.bytes == 2 ? reinterpret_cast<const std::uint16_t*>(depth.data())[1] : depth[1];
    EXPECT_EQ(stored, c.cleared) << c.bytes << " bytes, " << c.bits << " bits";
    State s = FlatState(w, h);
    s.zEnable = true;
    std::vector<ColourVertex> tri = {At(0, 0, w, h, 0xFFFFFFFF, 0.5f), At(8, 0, w, h, 0xFFFFFFFF, 0.5f),
                                     At(0, 8, w, h, 0xFFFFFFFF, 0.5f)};
    r.Draw(s, Primitive::TriangleList, Of(tri), t);
    EXPECT_GT(b.covered(), 0) << c.bytes << " bytes, " << c.bits << " bits";
  }
  // A depth texel of another size is not the device's: left as it was.
  std::uint32_t odd[4] = {7, 7, 7, 7};
  Buffers b(2, 2);
  Target t = b.target();
  t.depth = odd;
  t.depthPitch = 8;
  t.depthBytes = 3;
  Rasterizer().Clear(t, 0, 0, 2, 2, false, 0, true, 0.0f);
  EXPECT_EQ(odd[3], 7u);
}

TEST(Raster, ClearsAreQueuedInTheirPlaceAndTouchOnlyTheirRectangle) {
  // A target tall and wide enough for bands and columns on three threads: a
  // clear that ran before the draw queued ahead of it, or past its own
  // rectangle in a band, shows.
  const int w = 300, h = 200;
  struct Case {
    int x1, y1, x2, y2;
  } cases[] = {{10, 20, 290, 50}, {-40, -9, 120, 77}, {250, 150, 999, 999}, {0, 0, w, h}, {50, 60, 50, 90}};
  for (int threads : {1, 3}) {
    for (const Case& c : cases) {
      Buffers b(w, h);
      Rasterizer r(threads);
      const bool withDepth = c.x1 != 10;  // a target without a depth buffer too
      std::vector<ColourVertex> quad = {At(-1, -1, w, h, 0xFF00FF00), At(w + 1.0f, -1, w, h, 0xFF00FF00),
                                        At(-1, h + 1.0f, w, h, 0xFF00FF00), At(w + 1.0f, -1, w, h, 0xFF00FF00),
                                        At(w + 1.0f, h + 1.0f, w, h, 0xFF00FF00), At(-1, h + 1.0f, w, h, 0xFF00FF00)};
      State s = FlatState(w, h);
      s.cull = Cull::None;
      r.Draw(s, Primitive::TriangleList, Of(quad), b.target(withDepth));
      r.Clear(b.target(withDepth), c.x1, c.y1, c.x2, c.y2, true, 0x001F, true, 0.0f);
      r.Flush();
      int wrong = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const bool inside = x >= c.x1 && x < c.x2 && y >= c.y1 && y < c.y2;
          wrong += b.at(x, y) != (inside ? 0x001F : 0x07E0) ? 1 : 0;
        }
      EXPECT_EQ(wrong, 0) << threads << " threads, clear " << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2;
    }
  }
}

TEST(Raster, WRangeComesFromTheProjection) {
  float m[16];
  Perspective(m, 1.0f, 1.33f, 2.5f, 3000.0f);
  float n, f;
  DepthRangeOfProjection(m, &n, &f);
  EXPECT_NEAR(n, 2.5f, 1e-3f);
  EXPECT_NEAR(f, 3000.0f, 1.0f);
  Identity(m);  // no perspective: the 0..1 fallback
  DepthRangeOfProjection(m, &n, &f);
  EXPECT_EQ(n, 0.0f);
  EXPECT_EQ(f, 1.0f);
}

TEST(Raster, GarbageVerticesAndMatricesNeverWriteOutsideTheTarget) {
  // Random bit patterns: NaN, infinities, denormals, huge and tiny values in
  // positions, normals, texture coordinates and matrices, through both span
  // loops and lines. The guard columns and the memory checkers catch writes
  // that stray.
  const int w = 40, h = 30;
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed;
  };
  auto bits = [&](float scale) {
    std::uint32_t r = next();
    if (r % 4 == 0) {  // raw bit patterns
      float f;
      std::uint32_t b = next();
      std::memcpy(&f, &b, 4);
      return f;
    }
    return (static_cast<float>(next() % 20001) / 10000.0f - 1.0f) * scale;
  };
  std::uint32_t texels[16];
  for (auto& t : texels) t = next();
  Texture tex{texels, 4, 4};
  struct V8 {
    float v[8];
  };
  for (int round = 0; round < 60; ++round) {
    Buffers b(w, h);
    std::fill(b.colour.begin(), b.colour.end(), 0x5A5A);
    State s = FlatState(w, h);
    s.lighting = (round & 1) != 0;
    s.lights[0].enabled = true;
    s.ambient = 0x88888888;
    s.material.diffuse = s.material.ambient = Colour{1, 1, 1, 1};
    s.texture = &tex;
    s.bilinear = (round & 2) != 0;
    s.colourOp = s.alphaOp = TextureOp::Modulate;
    s.colourArg2 = s.alphaArg2 = Arg::Diffuse;
    s.zEnable = true;
    s.useW = (round & 4) != 0;
    s.fog = Fog::Exp2;
    s.fogDensity = round % 7 == 0 ? bits(1.0f) : 0.015f;
    s.blend = true;
    s.srcBlend = Blend::SrcAlpha;
    s.destBlend = Blend::InvSrcAlpha;
    s.alphaTest = true;
    s.alphaFunc = Compare::GreaterEqual;
    s.alphaRef = 8;
    s.dither = true;
    s.cull = round % 3 == 0 ? Cull::None : Cull::Ccw;
    float fov[16];
    Perspective(fov, 1.0f, 1.33f, 1.0f, 1000.0f);
    std::memcpy(s.projection, fov, sizeof fov);
    if (round % 5 == 0)
      for (float& m : s.world) m = bits(10.0f);
    std::vector<V8> v(300);
    for (V8& x : v) {
      for (int k = 0; k < 3; ++k) x.v[k] = bits(round % 2 ? 50.0f : 5000.0f);
      x.v[2] = std::fabs(x.v[2]);
      for (int k = 3; k < 8; ++k) x.v[k] = bits(round % 3 ? 2.0f : 1e6f);
    }
    Vertices in;
    in.data = reinterpret_cast<const std::uint8_t*>(v.data());
    in.stride = sizeof(V8);
    in.count = v.size() - static_cast<std::size_t>(round % 3);
    in.normal = 12;
    in.texCoord = 24;
    Rasterizer r;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) b.colour[static_cast<std::size_t>(y * (w + b.pad) + x)] = 0;
    r.Draw(s, round % 4 == 3 ? Primitive::LineList : Primitive::TriangleList, in, b.target());
    for (int y = 0; y < h; ++y)
      for (int k = 0; k < b.pad; ++k) ASSERT_EQ(b.colour[static_cast<std::size_t>(y * (w + b.pad) + w + k)], 0x5A5A);
  }
}

TEST(Raster, AnyThreadCountAndEitherSimdLoopDrawTheSamePixels) {
  // The engine's state (lit, textured, fogged, translucent, dithered,
  // w-buffered) and a plain one, thousands of triangles (several batches
  // for the workers, some through the near plane) on a target too low for
  // its bands alone to go round the threads (they are cut into columns),
  // whose height is no multiple of a band and width no multiple of a column
  // or a SIMD group; the plain triangles once more through a viewport inside
  // the target, which the workers' tiles reach past; clears between them.
  const int w = 531, h = 157;
  struct EngineVertex {
    float x, y, z, nx, ny, nz, u, v;
  };
  std::mt19937 random(5);
  auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
  std::vector<EngineVertex> lit;
  for (int i = 0; i < 40000; ++i) {  // about half are culled: more than a full batch remains
    float cx = uniform(-30, 30), cy = uniform(-9, 9), cz = uniform(-2, 30);
    for (int k = 0; k < 3; ++k)
      lit.push_back({cx + uniform(-3, 3), cy + uniform(-3, 3), cz + uniform(-3, 3), uniform(-1, 1), uniform(-1, 1),
                     uniform(-1, 1), uniform(-4, 4), uniform(-4, 4)});
  }
  // Rectangles facing the camera, both windings: their edges along a row
  // are exactly horizontal, which trims rows rather than bounding columns.
  for (int i = 0; i < 400; ++i) {
    float x0 = uniform(-30, 30), y0 = uniform(-9, 9), z = uniform(2, 30), x1 = x0 + uniform(0.5f, 6), y1 = y0 + uniform(0.5f, 6);
    float n = uniform(-1, 1), u = uniform(-4, 4);
    EngineVertex a{x0, y0, z, n, 1, -1, u, 0}, b{x1, y0, z, 1, n, -1, 0, u}, c{x1, y1, z, n, n, -1, u, u},
        d{x0, y1, z, 1, 1, -1, 0, 0};
    for (EngineVertex v : {a, b, c, a, c, d, a, c, b, a, d, c}) lit.push_back(v);
  }
  std::vector<ColourVertex> plain;
  for (int i = 0; i < 300; ++i)
    plain.push_back(At(uniform(-20, 550), uniform(-20, 170), w, h, static_cast<std::uint32_t>(random()), uniform(0, 1)));
  std::vector<std::uint32_t> texels(17 * 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) texels[static_cast<std::size_t>(y * 17 + x)] = static_cast<std::uint32_t>(random()) | 0x40000000u;
    texels[static_cast<std::size_t>(y * 17 + 16)] = texels[static_cast<std::size_t>(y * 17)];
  }
  Texture texture{texels.data(), 16, 16, 17};
  State engine = FlatState(w, h);
  Perspective(engine.projection, 1.0f, static_cast<float>(w) / h, 1.0f, 100.0f);
  engine.lighting = true;
  engine.lights[0].enabled = true;
  engine.ambient = 0x88888888;
  engine.material.diffuse = {1, 1, 1, 0.8f};
  engine.texture = &texture;
  engine.bilinear = true;
  engine.colourOp = engine.alphaOp = TextureOp::Modulate;
  engine.colourArg2 = engine.alphaArg2 = Arg::Diffuse;
  engine.fog = Fog::Exp2;
  engine.fogDensity = 0.05f;
  engine.fogColour = 0xBEBEBE;
  engine.alphaTest = true;
  engine.alphaFunc = Compare::GreaterEqual;
  engine.alphaRef = 8;
  engine.blend = true;
  engine.srcBlend = Blend::SrcAlpha;
  engine.destBlend = Blend::InvSrcAlpha;
  engine.dither = true;
  engine.zEnable = true;
  engine.useW = true;
  State flat = FlatState(w, h);
  flat.zEnable = true;
  flat.cull = Cull::None;
  State inset = flat;
  inset.viewportX = 37;
  inset.viewportY = 11;
  inset.viewportWidth = 300;
  inset.viewportHeight = 100;
  inset.zFunc = Compare::Always;
  Vertices engineVertices;
  engineVertices.data = reinterpret_cast<const std::uint8_t*>(lit.data());
  engineVertices.stride = sizeof(EngineVertex);
  engineVertices.count = lit.size();
  engineVertices.normal = 12;
  engineVertices.texCoord = 24;

  auto draw = [&](int threads, Simd widest) {
    LimitSimd(widest);
    auto b = std::make_unique<Buffers>(w, h);
    Rasterizer r(threads);
    r.Draw(flat, Primitive::TriangleList, Of(plain), b->target());
    // Queued among the draws: the engine's triangles test the cleared depths.
    r.Clear(b->target(), 100, 20, 400, 130, true, 0x1234, false, 0.0f);
    r.Clear(b->target(), -5, 60, 250, 999, false, 0, true, 0.3f);
    r.Draw(engine, Primitive::TriangleList, engineVertices, b->target());
    r.Draw(inset, Primitive::TriangleList, Of(plain), b->target());
    r.Flush();
    LimitSimd(Simd::Avx512);
    return b;
  };
  auto one = draw(1, Simd::Sse2);
  EXPECT_GT(one->covered(), w * h * 9 / 10);
  // Where the processor lacks a width, its row repeats a narrower one.
  for (auto [threads, widest] : {std::pair{2, Simd::Sse2}, std::pair{3, Simd::Sse2}, std::pair{1, Simd::Avx2},
                                 std::pair{2, Simd::Avx2}, std::pair{7, Simd::Avx2}, std::pair{1, Simd::Avx512},
                                 std::pair{2, Simd::Avx512}, std::pair{5, Simd::Avx512}}) {
    auto other = draw(threads, widest);
    EXPECT_TRUE(other->colour == one->colour && other->depth == one->depth)
        << threads << " threads, SIMD level " << static_cast<int>(widest);
  }
}

// Targets of other sizes between flushes, on queued threads: each draw's
// bands are its own target's, as on one thread.
TEST(Raster, DrawsToTargetsOfOtherSizesAreQueuedOnTheirOwnGrids) {
  const int sizes[][2] = {{40, 24}, {600, 90}, {40, 24}, {300, 200}};
  auto draw = [&](int threads) {
    std::vector<std::unique_ptr<Buffers>> out;
    Rasterizer r(threads);
    for (const auto& size : sizes) {
      const int w = size[0], h = size[1];
      out.push_back(std::make_unique<Buffers>(w, h));
      std::vector<ColourVertex> tri = {At(1, 1, w, h, 0xFF20C040), At(w - 2.0f, 3, w, h, 0xFFC02040),
                                       At(3, h - 2.0f, w, h, 0xFF4020C0)};
      r.Draw(FlatState(w, h), Primitive::TriangleList, Of(tri), out.back()->target());
    }
    r.Flush();
    return out;
  };
  const auto one = draw(1);
  const auto three = draw(3);
  for (std::size_t i = 0; i < one.size(); ++i) {
    EXPECT_GT(one[i]->covered(), one[i]->w * one[i]->h / 3) << i;
    EXPECT_EQ(three[i]->colour, one[i]->colour) << "target " << i;
  }
}

TEST(Raster, BothVertexPathsGiveEachPlaneItsOutcodeBitAndTheSameProjection) {
  // Nine copies of one vertex: where the machine has AVX2 the first eight go
  // through the eight-lane path and the ninth through the scalar one. The
  // projection makes w the row's and scales x and y (to overflow one of
  // them alone); the guard band is at |x|, |y| = 8 w.
  using namespace tarn::raster::detail;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float x, y, z, w;
    unsigned code;
    float scale = 1;
  };
  const Case cases[] = {
      {0, 0, 0.5f, 1, 0},
      {-8, 8, 0, 1, 0},  // on the band and on the near plane: inside
      {0, 0, 1, 1, 0},   // on the far plane
      {0, 0, -0.1f, 1, kOutsideNear},
      {0, 0, 1.5f, 1, kOutsideFar},
      {-8.5f, 0, 0.5f, 1, kOutsideLeft},
      {8.5f, 0, 0.5f, 1, kOutsideRight},
      {0, -8.5f, 0.5f, 1, kOutsideBottom},
      {0, 8.5f, 0.5f, 1, kOutsideTop},
      {-20, 20, 0.5f, 2, kOutsideLeft | kOutsideTop},
      {0, 0, 0, 0, kOutsideBehind},
      {0, 0, 0.5f, -1, kOutsideFar | kOutsideLeft | kOutsideRight | kOutsideBottom | kOutsideTop | kOutsideBehind},
      {0, 0, 0.5f, nan, kNotFinite | kOutsideBehind},
      {1e30f, 0, 0.5f, 1, kNotFinite | kOutsideRight, 1e30f},
      {0, -1e30f, 0.5f, 1, kNotFinite | kOutsideBottom, 1e30f},
  };
  for (const Case& k : cases) {
    State s = FlatState(640, 480);
    s.projection[15] = k.w;
    s.projection[0] = s.projection[5] = k.scale;
    float v[9][3];
    for (auto& p : v) {
      p[0] = k.x;
      p[1] = k.y;
      p[2] = k.z;
    }
    Vertices in;
    in.data = reinterpret_cast<const std::uint8_t*>(v);
    in.stride = sizeof v[0];
    in.count = 9;
    VertexStage stage;
    stage.Run(s, ViewportMap{0, 0, 640, 480, 0, 1}, in, 9);
    const VertexArrays& o = stage.Out();
    for (std::size_t i = 0; i < 9; ++i) {
      SCOPED_TRACE(testing::Message() << "(" << k.x << ", " << k.y << ", " << k.z << ", " << k.w << ") vertex " << i);
      EXPECT_EQ(o.code[i], k.code);
      if (k.code != 0) continue;
      EXPECT_EQ(o.xi[i], o.xi[8]);
      EXPECT_EQ(o.yi[i], o.yi[8]);
      EXPECT_EQ(o.sx[i], o.sx[8]);
      EXPECT_EQ(o.sy[i], o.sy[8]);
      EXPECT_EQ(o.dz[i], o.dz[8]);
    }
  }
}

// The set-up's integer and float rounding shortcuts give what the plain
// operations give, at the signs, the exact multiples and the far ends of
// their ranges, where an estimate or a cast goes wrong first.
TEST(Raster, SetUpRoundingAgreesWithThePlainOperations) {
  const std::int64_t big = std::int64_t{1} << 51;
  const std::int64_t divisions[][2] = {{0, 16},       {-1, 16},         {-16, 16},          {-17, 16},
                                       {15, 16},      {16, 16},         {big - 1, 3},       {-big + 1, 3},
                                       {big, 48},     {-big - 1, 48},   {big / 7 * 7 - 1, 7}, {-(big / 7 * 7) + 1, 7},
                                       {999999, 1},   {-1000000, 16000000},
                                       // past 2^53 the estimate is further off, low and high
                                       {(std::int64_t{1} << 55) + 31, 1}, {-(std::int64_t{1} << 55) - 31, 1}};
  for (const auto& d : divisions) {
    const std::int64_t a = d[0], b = d[1];
    const std::int64_t want = a / b - ((a % b != 0 && a < 0) ? 1 : 0);
    std::int64_t rem = -1;
    const std::int64_t q = detail::FloorDiv(a, b, rem);
    EXPECT_EQ(q, want) << a << " / " << b;
    EXPECT_EQ(rem, a - want * b) << a << " / " << b;
  }
  // A lone vertex's coordinate after ReduceUv is u - floor(u), at most
  // 1024, to the bit: the sign of a zero included.
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float coordinates[] = {-0.0f, 0.0f, -1.5f, 2.5f, -3.0f, 0.999999f, -0.000001f, 8388607.5f, -8388607.5f,
                               8388609.0f, -8388610.0f, 3.0e9f, -3.0e9f, nan, inf, -inf};
  for (float c : coordinates) {
    float u = c, v = -c;
    detail::ReduceUv(&u, &v, 1);
    const float wantU = std::min(c - std::floor(c), 1024.0f), wantV = std::min(-c - std::floor(-c), 1024.0f);
    EXPECT_EQ(std::memcmp(&u, &wantU, sizeof u), 0) << c << ": " << u << " against " << wantU;
    EXPECT_EQ(std::memcmp(&v, &wantV, sizeof v), 0) << -c << ": " << v << " against " << wantV;
  }
  // A triangle's: the three-vertex form agrees with the general one for
  // every triple of these, u and v in opposite orders (which of equal
  // minima is taken shows in the sign of a zero).
  int differ = 0;
  for (float a : coordinates)
    for (float b : coordinates)
      for (float c : coordinates) {
        float u[3] = {a, b, c}, v[3] = {c, -b, a}, u3[3] = {a, b, c}, v3[3] = {c, -b, a};
        detail::ReduceUv(u, v, 3);
        detail::ReduceUv3(u3, v3);
        differ += std::memcmp(u, u3, sizeof u) != 0 || std::memcmp(v, v3, sizeof v) != 0;
      }
  EXPECT_EQ(differ, 0);
}
