// State compilation and its caches.
#include "platform/raster/StateCompiler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarn::raster::detail {
namespace {

bool IsPow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

bool UsesTexture(TextureOp op, Arg a1, Arg a2) {
  switch (op) {
    case TextureOp::Modulate: return a1 == Arg::Texture || a2 == Arg::Texture;
    case TextureOp::SelectArg1: return a1 == Arg::Texture;
    case TextureOp::SelectArg2: return a2 == Arg::Texture;
    default: return false;
  }
}

void TextureMode(TextureOp op, Arg a1, Arg a2, TextureOp& outOp, bool& tex1) {
  bool t1 = a1 == Arg::Texture, t2 = a2 == Arg::Texture;
  if (op == TextureOp::Modulate && !(t1 || t2)) op = TextureOp::Disable;
  if (op == TextureOp::Modulate && t1 && t2) op = TextureOp::SelectArg1;  // texture x texture: rare; keep it simple
  if (op == TextureOp::SelectArg1 && !t1) op = TextureOp::Disable;
  if (op == TextureOp::SelectArg2 && !t2) op = TextureOp::Disable;
  outOp = op;
  tex1 = op != TextureOp::SelectArg2;
}

}  // namespace

ShadingKey KeyOf(const State& s) {
  ShadingKey k;
  k.fog = s.fog;
  if (s.fog != Fog::None) {
    k.density = s.fogDensity;
    k.start = s.fogStart;
    k.end = s.fogEnd;
    k.colour = s.fogColour;
  }
  k.alphaFunc = s.alphaFunc;
  k.alphaRef = s.alphaRef;
  return k;
}

void BuildShading(const ShadingKey& k, Shading& c) {
  float range;  // distance at which the table ends (fog complete or constant beyond)
  switch (k.fog) {
    case Fog::Exp: range = k.density > 0.0f ? 12.0f / k.density : 0.0f; break;
    case Fog::Exp2: range = k.density > 0.0f ? 4.0f / k.density : 0.0f; break;
    case Fog::Linear: range = std::max(k.end, 0.0f); break;
    default: range = 0.0f; break;
  }
  if (!(range > 0.0f) || !std::isfinite(range)) {  // no fog at any distance
    for (auto& v : c.fogTable) v = k.fog == Fog::Linear ? 0 : 256;
    c.fogScale = 0.0f;
  } else {
    c.fogScale = static_cast<float>(kFogTable - 1) / range;
    for (int i = 0; i < kFogTable; ++i) {
      float d = (static_cast<float>(i) + 0.5f) / c.fogScale;
      float f;
      if (k.fog == Fog::Exp) {
        f = std::exp(-d * k.density);
      } else if (k.fog == Fog::Exp2) {
        float t = d * k.density;
        f = std::exp(-t * t);
      } else {
        f = k.end != k.start ? (k.end - d) / (k.end - k.start) : (d < k.end ? 1.0f : 0.0f);
      }
      f = std::min(std::max(f, 0.0f), 1.0f);
      c.fogTable[i] = static_cast<std::int32_t>(std::lrint(f * 256.0f));
    }
  }
  c.fogR = static_cast<int>((k.colour >> 16) & 255);
  c.fogG = static_cast<int>((k.colour >> 8) & 255);
  c.fogB = static_cast<int>(k.colour & 255);
  for (int a = 0; a < 256; ++a) c.alphaPass[a] = Passes(k.alphaFunc, static_cast<std::uint32_t>(a), k.alphaRef);
}

// The loops for a piece of a draw. Pixels that are all opaque need neither
// the alpha test where alpha 255 passes it (its outcome is the same for
// every pixel) nor SRCALPHA / INVSRCALPHA blending.
Loops PickLoops(const State& s, const CompiledDraw& d, bool verticesOpaque) {
  const DrawContext& c = d.c;
  bool opaque = (!d.textured || (s.texture->opaque && c.alphaOp == TextureOp::Modulate)) && verticesOpaque;
  bool alphaTest = s.alphaTest && s.alphaFunc != Compare::Always && !(opaque && Passes(s.alphaFunc, 255, s.alphaRef));
  bool blend = d.blend && !(opaque && c.srcAlphaBlend);
  return Loops{PickSpan(c, d.textured, s.bilinear, d.fog, blend, alphaTest, s.dither, d.depthBytes),
               PickFill(c, d.textured, s.bilinear, d.fog, blend, alphaTest, d.depthBytes, true),
               PickFill(c, d.textured, s.bilinear, d.fog, blend, alphaTest, d.depthBytes, false)};
}


void StateCompiler::Trim() {
  textureCopies_.clear();
  if (shadings_.size() > 32) shadings_.clear();
}

const Shading* StateCompiler::ShadingFor(const State& s) {
  ShadingKey key = KeyOf(s);
  // The most recent first: a state that does not change finds itself at once.
  for (auto it = shadings_.rbegin(); it != shadings_.rend(); ++it)
    if (it->first == key) return it->second.get();
  auto shading = std::make_unique<Shading>();
  BuildShading(key, *shading);
  shadings_.emplace_back(key, std::move(shading));
  return shadings_.back().second.get();
}

// The texels of a texture given without the wrap column the span loops rely
// on, copied with it; kept until nothing queued can read them.
const std::uint32_t* StateCompiler::WrappedTexels(const Texture& texture) {
  std::size_t from = texture.stride > texture.width ? static_cast<std::size_t>(texture.stride)
                                                    : static_cast<std::size_t>(texture.width);
  std::size_t w = static_cast<std::size_t>(texture.width);
  std::vector<std::uint32_t>& padded = textureCopies_.emplace_back((w + 1) * static_cast<std::size_t>(texture.height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(texture.height); ++y) {
    std::memcpy(&padded[y * (w + 1)], texture.texels + y * from, w * 4);
    padded[y * (w + 1) + w] = texture.texels[y * from];
  }
  const std::uint32_t* texels = padded.data();
  if (!queued_ && textureCopies_.size() > 1) textureCopies_.pop_front();  // nothing queued needs it
  return texels;
}

bool StateCompiler::Compile(const State& s, const Target& t, CompiledDraw& d) {
  DrawContext& c = d.c;
  // Scissor: the viewport inside the target.
  c.scissorX0 = std::max(s.viewportX, 0);
  c.scissorY0 = std::max(s.viewportY, 0);
  c.scissorX1 = std::min(s.viewportX + s.viewportWidth, t.width) - 1;
  c.scissorY1 = std::min(s.viewportY + s.viewportHeight, t.height) - 1;
  if (c.scissorX0 > c.scissorX1 || c.scissorY0 > c.scissorY1) return false;

  // Depth.
  d.depthBytes = (s.zEnable && t.depth && (t.depthBytes == 2 || t.depthBytes == 4)) ? t.depthBytes : 0;
  c.useW = s.useW;
  float wNear, wFar;
  DepthRangeOfProjection(s.projection, &wNear, &wFar);
  c.wNear = wNear;
  c.wScale = 1.0f / (wFar - wNear);
  int bits = DepthBitsOf(t);
  c.depthMax = static_cast<float>(bits >= 32 ? 4294967040.0 : static_cast<double>((1ull << bits) - 1));
  c.zFunc = s.zFunc;
  c.zWrite = s.zWrite;
  const float* pm = s.projection;
  c.fogFromW = !(pm[3] == 0.0f && pm[7] == 0.0f && pm[11] == 0.0f && pm[15] == 1.0f);

  // Texture stage 0. A stage that reads a missing texture passes the
  // diffuse colour through, as if the texture were opaque white.
  d.textured = s.texture && s.texture->texels && s.texture->width > 0 && s.texture->height > 0 &&
               (UsesTexture(s.colourOp, s.colourArg1, s.colourArg2) || UsesTexture(s.alphaOp, s.alphaArg1, s.alphaArg2));
  if (d.textured) {
    c.texW = s.texture->width;
    c.texH = s.texture->height;
    c.texels = s.texture->stride == c.texW + 1 ? s.texture->texels : WrappedTexels(*s.texture);
    c.texStride = c.texW + 1;
    c.texPow2 = IsPow2(c.texW) && IsPow2(c.texH);
    while ((1 << c.texShift) < c.texW) ++c.texShift;
    TextureMode(s.colourOp, s.colourArg1, s.colourArg2, c.colourOp, c.colourTex1);
    TextureMode(s.alphaOp, s.alphaArg1, s.alphaArg2, c.alphaOp, c.alphaTex1);
  }

  d.fog = s.fog != Fog::None;
  c.shading = ShadingFor(s);
  c.alphaFunc = s.alphaFunc;
  c.alphaRef = s.alphaRef;
  d.blend = s.blend && !(s.srcBlend == Blend::One && s.destBlend == Blend::Zero);
  c.srcBlend = s.srcBlend;
  c.destBlend = s.destBlend;
  c.srcAlphaBlend = s.srcBlend == Blend::SrcAlpha && s.destBlend == Blend::InvSrcAlpha;
  c.dither = s.dither;
  c.Aim(t);
  d.viewport = ViewportMap{static_cast<float>(s.viewportX),     static_cast<float>(s.viewportY),
                           static_cast<float>(s.viewportWidth), static_cast<float>(s.viewportHeight),
                           s.minZ,                              s.maxZ};
  return true;
}

}  // namespace tarn::raster::detail
