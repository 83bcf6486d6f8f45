// The vertex stage (local to platform/raster): every vertex of a draw is
// transformed, lit and, when it lies inside the clip volume, projected and
// snapped once. What only the state decides (the combined matrices, the
// lights in camera space) is kept until the state changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/raster/Raster.h"

namespace tarn::raster {

struct ViewportMap {
  float x, y, width, height, minZ, maxZ;
};

// A position snapped to 1/16 pixel, with 1/w and the device z.
struct ProjectedPosition {
  std::int32_t xi, yi;
  float x, y, iw, z;
};

// X = x0 + (1 + x/w) W/2, Y = y0 + (1 - y/w) H/2; positions are pinned to
// +-1e6 pixels so that the fixed-point edge functions can never overflow
// (clipping keeps sane vertices inside the guard band; a NaN goes to the
// low end).
ProjectedPosition ProjectPosition(float x, float y, float z, float w, const ViewportMap& m);

struct VertexOut {
  ClipVertex clip;        // clip-space position, colour 0..255, texture coordinates
  unsigned code;          // outside the planes: near, far, left, right, bottom, top, w <= 0
  bool bad;               // a position that is not finite
  std::int32_t xi, yi;    // the projection, valid when code is 0
  float sx, sy, iw, z;
};

class VertexStage {
 public:
  void Run(const State& s, const ViewportMap& viewport, const Vertices& in, std::size_t count);
  const VertexOut* Out() const { return out_.data(); }
  // Every vertex's alpha is 255.
  bool AllOpaque() const { return allOpaque_; }

 private:
  struct CamLight {
    float l[3];
    Colour diffuse;
  };
  // What the transforms and lights compile to.
  struct Compiled {
    float mvp[16];
    float cof[9];
    float invDet;
    CamLight lights[State::kLights];
    int lightCount;
    Colour ambientSum;
  };
  void Compile(const State& s);

  std::vector<VertexOut> out_;
  bool allOpaque_ = true;
  Compiled compiled_{};
  // The inputs of compiled_, to tell when it must be made again.
  bool haveCompiled_ = false;
  float world_[16], view_[16], projection_[16];
  Light lights_[State::kLights];
  std::uint32_t ambient_ = 0;
  bool lighting_ = false;
};

}  // namespace tarn::raster
