// State compilation (local to platform/raster): what a draw's state and
// target decide before any vertex is read, and the caches that let a state
// that does not change cost nothing the next time: the fog and alpha-test
// tables (Shading) by their inputs, and copies of textures given without the
// wrap column the fill loops read.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "platform/raster/RasterLocal.h"
#include "platform/raster/Setup.h"
#include "platform/raster/VertexStage.h"

namespace tarn::raster::detail {

// What the fog and alpha-test tables are built from.
struct ShadingKey {
  Fog fog = Fog::None;
  float density = 0, start = 0, end = 0;
  std::uint32_t colour = 0;
  Compare alphaFunc = Compare::Always;
  std::uint8_t alphaRef = 0;
  bool operator==(const ShadingKey&) const = default;
};
ShadingKey KeyOf(const State& s);
void BuildShading(const ShadingKey& k, Shading& c);

// What a draw compiles to before its vertices are read: the context its
// pixels are drawn with, and what decides its loops.
struct CompiledDraw {
  DrawContext c;
  ViewportMap viewport;
  int depthBytes = 0;
  bool textured = false, fog = false, blend = false;
};

// The loops for a piece of a draw, given whether all its vertices are
// opaque.
Loops PickLoops(const State& s, const CompiledDraw& d, bool verticesOpaque);

class StateCompiler {
 public:
  // queued: draws may still be read by other threads after Compile returns,
  // so a texture copy is kept until Trim.
  explicit StateCompiler(bool queued) : queued_(queued) {}
  // The per-draw context; false when the viewport lies outside the target.
  bool Compile(const State& s, const Target& t, CompiledDraw& d);
  // Nothing queued refers to the caches any more: let them go.
  void Trim();

 private:
  const Shading* ShadingFor(const State& s);
  const std::uint32_t* WrappedTexels(const Texture& texture);

  bool queued_;
  std::vector<std::pair<ShadingKey, std::unique_ptr<Shading>>> shadings_;
  std::deque<std::vector<std::uint32_t>> textureCopies_;  // textures given without the wrap column
};

}  // namespace tarn::raster::detail
