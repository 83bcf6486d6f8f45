// HeightField: the terrain of a "Height" line: columns x rows cells and the
// mesh that draws them (always drawn, kind 2, attached by the map loader).
//
// BuildHeightField creates "하이트필드.txt" (its name held in code page 949)
// empty in the working directory (beside Tarn.log instead when the log has
// left a world folder that is not ours: engine/log/TarnLog.h), as the debug
// file it always was, and
// gives the terrain its shape, which is our choice:
//   - a grid of (columns + 1) x (rows + 1) points, `spacing` (40.0) units
//     apart along x and z, centred on the origin;
//   - heights from the brightness ((red + green + blue) / 3) of the picture
//     named on the line, sampled at the nearest pixel with the picture
//     stretched over the grid (its top row at -z), scaled so that white is
//     `heightScale` (20.0); all 0 when the picture does not load (logged, with why);
//   - two triangles per cell, drawn clockwise seen from above, with smooth
//     normals from the height differences, material index 0;
//   - texture coordinates run 0 to `columns` and 0 to `rows`: the texture
//     repeats once per cell (the device wraps), so a 128-pixel grass picture
//     keeps a texel under a third of a unit instead of smearing one texel
//     over several units as a single stretch over the whole grid would;
//   - the mesh's positions hold the grid points and faceIndices their
//     triangles (3 x triangleCount entries); the other index arrays stay
//     empty;
//   - counts below 0 read as 0; a grid of more than 65536 points (beyond
//     the 16-bit indices) is refused: the terrain stays empty and BuildHeightField
//     returns 0 (1 otherwise);
//   - a debug file that cannot be created is skipped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/log/TarnLog.h"
#include "engine/world/MeshObject.h"

class HeightField {
 public:
  HeightField();

  int BuildHeightField(const LoadLog& log = {});

  std::int32_t columns = 0;
  std::int32_t rows = 0;
  std::int32_t gridPointCount = 0;
  std::int32_t triangleCount = 0;
  std::string pictureName;
  std::unique_ptr<MeshObject> mesh;
  float spacing = 40.0f;
  float heightScale = 20.0f;
};

// "하이트필드.txt" in code page 949.
extern const char kHeightFieldDebugFile[];
