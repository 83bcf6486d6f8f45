// Clipping in clip space (local to platform/raster): triangles against the
// planes their vertices' outcodes name, as polygons; lines as parameter
// ranges. The planes themselves are PlaneDistance in RasterLocal.h.
#pragma once

#include "platform/raster/Raster.h"

namespace tarn::raster::detail {

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t);

// Sutherland-Hodgman against the planes in `code` (ClipPlane bits): poly
// holds n vertices and room for 16, scratch as much; returns the count.
int ClipPolygon(ClipVertex* poly, int n, unsigned code, ClipVertex* scratch);

// Cuts the line a-b to the planes its ends' outcodes name; false when
// nothing of it is left.
bool ClipLine(ClipVertex& a, ClipVertex& b, unsigned codeA, unsigned codeB);

}  // namespace tarn::raster::detail
