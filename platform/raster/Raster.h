// Raster: the software rasterizer behind the Direct3D 7 device. Pure: it
// knows nothing of COM or of the platform's records; everything it needs is
// passed in with each call, and it keeps only scratch memory between calls.
//
// What it draws, in pipeline order:
//   - row-vector transform world x view x projection;
//   - clipping in clip space: the near plane (z >= 0) and the far plane
//     (z <= w) exactly, the sides against a guard band 8 viewports wide
//     (what lies beyond the viewport inside the band is scissored per row);
//   - viewport mapping X = x0 + (1 + x/w) W/2, Y = y0 + (1 - y/w) H/2, pixel
//     centres on integer coordinates, top-left fill rule, 1/16 pixel snap;
//   - culling of screen-space counter-clockwise (CullMode::Ccw) or clockwise
//     triangles; lines are never culled;
//   - vertex lighting in camera space with directional lights: emissive +
//     ambient x global ambient + diffuse x max(0, N.L), clamped; alpha from
//     the diffuse source. Normals are not renormalised unless asked;
//   - Gouraud colour (affine in screen space), perspective-correct texture
//     coordinates and eye depth;
//   - stage 0: MODULATE / SELECTARG1 / SELECTARG2 of texture and diffuse for
//     colour and alpha; no texture reads as opaque white; bilinear or point
//     filtering of 32-bit ARGB texels with wrap addressing;
//   - table fog (EXP, EXP2, LINEAR) over eye depth (device z for a
//     projection whose fourth column is 0,0,0,1), before blending;
//   - alpha test against an 8-bit reference; blending with the factors
//     ZERO, ONE, SRCALPHA, INVSRCALPHA, SRCCOLOR, INVSRCCOLOR, DESTCOLOR,
//     INVDESTCOLOR (the target has no alpha: DESTALPHA reads as 1);
//   - depth test and write on a 16- or 32-bit buffer holding z/w or, with
//     w-buffering, (w - wNear)/(wFar - wNear) from the projection;
//   - 4x4 ordered dither into 5-6-5 (a fraction 0..15/16 of one step added
//     before truncation; exact colours stay exact).
// Line lists: each pair is one line, one pixel per step of the major axis,
// the last pixel drawn (LASTPIXEL TRUE), with the same per-pixel work.
//
// Not implemented: points, strips and fans (the device converts none of
// them; it refuses them), stencil, specular highlights of lights (the only
// light a caller can make has no specular colour), mip maps, wireframe fill.
// Vertices that are not finite are dropped with their primitive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tarn::raster {

enum class Cull { None, Cw, Ccw };
enum class Compare { Never = 1, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };
enum class Blend { Zero = 1, One, SrcColor, InvSrcColor, SrcAlpha, InvSrcAlpha, DestAlpha, InvDestAlpha,
                   DestColor, InvDestColor };
enum class Fog { None, Exp, Exp2, Linear };
enum class TextureOp { Disable = 1, SelectArg1, SelectArg2, Modulate };
enum class Arg { Diffuse = 0, Current = 1, Texture = 2 };
enum class Primitive { TriangleList, LineList };

struct Colour {  // linear floats 0..1
  float r = 0, g = 0, b = 0, a = 0;
};

struct Light {  // directional
  bool enabled = false;
  float direction[3] = {0, 0, 1};  // world space, pointing away from the light
  Colour diffuse{1, 1, 1, 0};
  Colour ambient{};
};

struct Material {
  Colour diffuse{}, ambient{}, specular{}, emissive{};
};

// 32-bit 0xAARRGGBB texels, top row first, rows `stride` texels apart
// (0: `width`). The span loops read a texel's right neighbour as the next
// one in memory, so rows are held as width + 1 texels whose last is a copy of
// the first; a texture given in any other layout is copied into that one for
// each draw (the device hands it over in that layout).
struct Texture {
  const std::uint32_t* texels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  bool opaque = false;  // every texel has alpha 255
};

struct State {
  float world[16], view[16], projection[16];  // row-major, row vectors
  int viewportX = 0, viewportY = 0, viewportWidth = 0, viewportHeight = 0;
  float minZ = 0.0f, maxZ = 1.0f;

  bool zEnable = true, useW = false, zWrite = true;
  Compare zFunc = Compare::LessEqual;
  Cull cull = Cull::Ccw;
  bool gouraud = true;  // false: flat, the first vertex's colour

  bool lighting = true, normalizeNormals = false, colorVertex = true;
  int diffuseSource = 1, ambientSource = 0, emissiveSource = 0;  // 0 material, 1 colour1, 2 colour2
  std::uint32_t ambient = 0;  // 0xAARRGGBB global ambient
  Material material;
  static constexpr int kLights = 8;
  Light lights[kLights];

  Fog fog = Fog::None;  // table fog mode; None when fog is disabled
  float fogDensity = 1.0f, fogStart = 0.0f, fogEnd = 1.0f;
  std::uint32_t fogColour = 0;  // 0x00RRGGBB

  bool alphaTest = false;
  Compare alphaFunc = Compare::Always;
  std::uint8_t alphaRef = 0;
  bool blend = false;
  Blend srcBlend = Blend::One, destBlend = Blend::Zero;
  bool dither = false;
  bool lastPixel = true;

  const Texture* texture = nullptr;  // stage 0; null: none bound
  bool bilinear = false;
  TextureOp colourOp = TextureOp::Modulate, alphaOp = TextureOp::SelectArg1;
  Arg colourArg1 = Arg::Texture, colourArg2 = Arg::Current;
  Arg alphaArg1 = Arg::Texture, alphaArg2 = Arg::Current;
};

// The target: 5-6-5 colour and an optional depth buffer of 16 or 32 bits
// per texel (depthBits gives the bits in use, e.g. 24 of 32).
struct Target {
  std::uint16_t* colour = nullptr;
  int colourPitch = 0;  // bytes
  int width = 0, height = 0;
  void* depth = nullptr;  // null: no depth buffer (the test is off)
  int depthPitch = 0;     // bytes
  int depthBytes = 2;     // 2 or 4
  int depthBits = 16;
};

// Vertices: a position of three floats at offset 0; the other members at
// the given byte offsets, or -1 when the format has none.
struct Vertices {
  const std::uint8_t* data = nullptr;
  std::size_t stride = 0;
  std::size_t count = 0;
  int normal = -1;
  int diffuse = -1;  // 0xAARRGGBB
  int texCoord = -1; // two floats
};

struct Counters {
  std::uint64_t trianglesIn = 0, trianglesCulled = 0, trianglesDrawn = 0, linesDrawn = 0;
};

// A vertex after the vertex stage: clip-space position, lit colour in
// 0..255, texture coordinates.
struct ClipVertex {
  float x, y, z, w;
  float r, g, b, a;
  float u, v;
};

// Draws may be queued: with more than one thread, triangles are set up on
// the calling thread and filled by worker threads a band of rows at a time,
// each band in the order of submission. The pixels are the same for
// any number of threads. Flush() returns when every queued pixel is in the
// target; the caller flushes before it reads or changes the target, the
// depth buffer or a texture that queued draws use, and before they go away.
class Rasterizer {
 public:
  // threads: 1 draws on the calling thread before Draw returns; n > 1 uses
  // n - 1 workers beside the calling thread.
  explicit Rasterizer(int threads = 1);
  ~Rasterizer();
  Rasterizer(const Rasterizer&) = delete;
  Rasterizer& operator=(const Rasterizer&) = delete;

  void Draw(const State& state, Primitive primitive, const Vertices& vertices, const Target& target);
  void Flush();
  int Threads() const;
  // Fills a rectangle (clipped to the target) with a 5-6-5 colour and/or the
  // depth buffer with depth 0..1, scaled to the depth bits as draws scale
  // them (1 up to the texel's 16 or 32, whatever the target claims; a depth
  // buffer of another texel size is left alone). Queued like a draw, after
  // the draws before it: the thread that fills a band clears it first, so
  // the frame's clear is shared among the threads and its rows are still
  // in that thread's cache when the frame's first triangles test them.
  void Clear(const Target& target, int x1, int y1, int x2, int y2, bool colour, std::uint16_t rgb565, bool depth,
             float z);
  const Counters& Stats() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// The thread count a device uses when its profile asks for none: the
// environment's TARN_RASTER_THREADS when it holds a number from 1 to 64,
// else the processors this process may run on.
int DefaultRasterThreads();

// Tests: use no SIMD loop wider than `widest` (Avx512: any the processor
// has); the pixels must not change.
enum class Simd { Sse2, Avx2, Avx512 };
void LimitSimd(Simd widest);

// The w range of a projection: the w at its near (z = 0) and far (z = w)
// planes; 0..1 when the matrix defines none.
void DepthRangeOfProjection(const float* projection, float* wNear, float* wFar);

}  // namespace tarn::raster
