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

// The vertex stage's results, one array per member (so that eight vertices
// are written at once).
struct VertexArrays {
  std::vector<float> x, y, z, w, r, g, b, a, u, v;  // clip space, colour 0..255, texture coordinates
  // Each vertex's outcode (detail::Outcode).
  std::vector<std::uint8_t> code;
  // The projection, valid where code is 0.
  std::vector<std::int32_t> xi, yi;
  std::vector<float> sx, sy, iw, dz;

  // Room for this many vertices past the last, so that a triangle's three
  // are read in one four-lane load.
  static constexpr std::size_t kPadding = 1;
  ClipVertex Clip(std::size_t i) const { return ClipVertex{x[i], y[i], z[i], w[i], r[i], g[i], b[i], a[i], u[i], v[i]}; }
  void Resize(std::size_t n);
};

// What the transforms and lights compile to.
struct VertexConstants {
  struct CamLight {
    float l[3];  // toward the light, camera space
    Colour diffuse;
  };
  float mvp[16];
  float cof[9];  // normals: n x cof x invDet, the inverse transpose of world x view
  float invDet;
  CamLight lights[State::kLights];
  int lightCount;
  Colour ambientSum;
};

class VertexStage {
 public:
  void Run(const State& s, const ViewportMap& viewport, const Vertices& in, std::size_t count);
  const VertexArrays& Out() const { return out_; }
  // Every vertex's alpha is 255.
  bool AllOpaque() const { return allOpaque_; }

 private:
  void Compile(const State& s);
  void Scalar(const State& s, const ViewportMap& viewport, const Vertices& in, std::size_t begin, std::size_t end);

  VertexArrays out_;
  bool allOpaque_ = true;
  VertexConstants compiled_{};
  // The inputs of compiled_, to tell when it must be made again.
  bool haveCompiled_ = false;
  float world_[16], view_[16], projection_[16];
  Light lights_[State::kLights];
  std::uint32_t ambient_ = 0;
  bool lighting_ = false;
};

}  // namespace tarn::raster
