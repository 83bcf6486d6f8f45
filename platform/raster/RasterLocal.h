// The rasterizer's inner records (local to platform/raster): what a span
// loop reads, the set-up of one triangle, and the span loops' entry points.
//
// A pixel's interpolants are computed from its own position: the value at x
// on row y is the row's value at the span's left end plus (x - left) steps,
// never a running sum. A span may therefore be drawn in pieces (one per
// screen tile, on any thread) and every pixel still comes out the same.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/raster/Raster.h"

namespace tarn::raster::detail {

constexpr int kSubPixel = 16;  // 1/16 pixel snap
constexpr int kFogTable = 1024;
// Tiles are a whole number of SIMD groups wide, so no group of pixels ever
// straddles two tiles (a group writes back the pixels it masks).
constexpr int kTileShift = 6;
constexpr int kTileSize = 1 << kTileShift;

// Bayer 4x4 thresholds 0..15.
inline constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// What a state compiles to that does not depend on the draw: the fog and
// alpha-test tables. Shared by the draws that use it, and never changed once
// built (queued work reads it from other threads).
struct Shading {
  float fogScale = 0.0f;  // table index per unit of distance
  std::int32_t fogTable[kFogTable];  // 0..256, the weight of the pixel's own colour
  int fogR = 0, fogG = 0, fogB = 0;
  bool alphaPass[256];
};

// Everything a span loop reads: fixed for one draw.
struct DrawContext {
  const Shading* shading = nullptr;
  // depth
  bool useW = false;
  float wNear = 0.0f, wScale = 1.0f;  // stored = (w - wNear) * wScale
  float depthMax = 65535.0f;
  Compare zFunc = Compare::LessEqual;
  bool zWrite = true;
  bool fogFromW = true;
  // texture
  const std::uint32_t* texels = nullptr;
  int texW = 1, texH = 1;
  int texStride = 1;  // texels per row: texW + 1, the last a copy of column 0
  bool texPow2 = true;
  int texShift = 0;  // log2 of texW when it is a power of two
  TextureOp colourOp = TextureOp::Modulate, alphaOp = TextureOp::Modulate;
  bool colourTex1 = true, alphaTex1 = true;  // argument 1 is the texture (else argument 2 is)
  // tests and blending
  Compare alphaFunc = Compare::Always;
  int alphaRef = 0;
  Blend srcBlend = Blend::SrcAlpha, destBlend = Blend::InvSrcAlpha;
  bool srcAlphaBlend = true;  // SRCALPHA / INVSRCALPHA
  // target
  std::uint8_t* colour = nullptr;
  int colourPitch = 0;
  std::uint8_t* depth = nullptr;
  int depthPitch = 0;
  int targetWidth = 0, targetHeight = 0;
  int scissorX0 = 0, scissorY0 = 0, scissorX1 = -1, scissorY1 = -1;  // inclusive
};

// The interpolants of one pixel; affine in screen space.
struct Interp {
  float iw, uw, vw, z, r, g, b, a;
};

// Draws pixels x0..x1 (inclusive) of row y. p holds the interpolants at
// column `left` (the span's own left end), d their steps per pixel.
using SpanFn = void (*)(const DrawContext& c, int y, int left, int x0, int x1, const Interp& p, const Interp& d);

// AVX2 is present and not turned off for a test.
bool UseAvx2();

// Chooses the loop for a draw's fixed state.
SpanFn PickSpan(const DrawContext& c, bool textured, bool bilinear, bool fog, bool blend, bool alphaTest,
                bool dither, int depthBytes);

// One edge a->b in 1/16 pixel: E(px, py) = (py - ya) dx - (px - xa) dy + bias
// is >= 0 inside. Screen positions are pinned to +-1e6 pixels, so 32 bits
// hold every member.
struct Edge {
  std::int32_t xa, ya, dx, dy, bias;
};

// A triangle ready to fill: edges, the interpolants at its first vertex and
// their gradients, and its rows and columns inside the scissor.
struct TriangleSetup {
  const DrawContext* context;
  SpanFn span;
  Edge edges[3];
  float x0, y0;  // first vertex, snapped
  Interp p0, ddx, ddy;
  int yStart, yEnd, xMin, xMax;  // inclusive, inside the scissor
};

// Fills the part of the triangle that lies in columns cx0..cx1 and rows
// cy0..cy1 (a tile, or the whole scissor).
void FillTriangle(const TriangleSetup& t, int cx0, int cy0, int cx1, int cy1);

}  // namespace tarn::raster::detail
