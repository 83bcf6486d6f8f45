// DrawRecord: what a scene node draws. A triangle list (vertices 0-2 are the
// first triangle), how it is culled, and which texture it binds.
//
// Every field starts at zero or null: such a record has kind 0 and is never
// drawn, and a kind-2 record without vertices draws nothing. The record is
// owned by the mesh object that fills it; nodes only point to it, and one
// record may hang under several nodes.
#pragma once

#include <cstdint>

#include "engine/scene/MeshVertex.h"
#include "engine/scene/Vector3.h"

// Values of DrawRecord::kind.
inline constexpr std::int32_t kDrawCulled = 1;  // drawn when the view box test passes
inline constexpr std::int32_t kDrawAlways = 2;  // the terrain

struct DrawRecord {
  MeshVertex* vertices = nullptr;
  std::int32_t vertexCount = 0;
  std::int32_t kind = 0;
  Vector3 referencePoint{0.0f, 0.0f, 0.0f};
  Vector3 maxPoint{0.0f, 0.0f, 0.0f};
  const char* nodeName = nullptr;
  std::int32_t materialIndex = 0;
};
