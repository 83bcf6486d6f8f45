// Geometry of the sample world, built in engine coordinates (y up) as
// triangle lists whose front faces run clockwise seen from outside, and
// written out as 3ds Max ASCII exports (houses) or model files (the rest).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace sample {

struct P3 {
  float x, y, z;
};
struct UV {
  float u, v;  // engine texture coordinates: v = 0 is the picture's top row
};
struct Rect {
  float u0, v0, u1, v1;  // a region of a texture atlas
};

class MeshBuilder {
 public:
  // A quad a-b-c-d (corners in order around it) facing `outward`: its
  // winding is chosen so that the front is the side `outward` points to.
  // uv gives the corners' texture coordinates in the same order.
  void Quad(P3 a, P3 b, P3 c, P3 d, const UV uv[4], P3 outward);
  void QuadInRect(P3 a, P3 b, P3 c, P3 d, Rect r, P3 outward);
  void Triangle(P3 a, P3 b, P3 c, UV ta, UV tb, UV tc, P3 outward);

  // A box from `lo` to `hi` with every side textured by `r`, and no floor.
  void Box(P3 lo, P3 hi, Rect r);

  std::vector<P3> positions;
  std::vector<UV> texVertices;
  std::vector<int> faces;  // three position (and texture vertex) indices per triangle, drawing order
};

// One geometric object of an export: its mesh, the transform row (where
// it stands) and the material it refers to.
struct AseObject {
  std::string name;
  P3 pivot;
  int materialRef;
  MeshBuilder mesh;
};

// A 3ds Max ASCII export: a material list (one material per bitmap, in
// order) and the objects.
bool WriteAse(const std::string& path, const std::vector<std::string>& bitmaps, const std::vector<AseObject>& objects);
// A model file: positions in engine coordinates, the winding and v as the
// engine's reader undoes them.
bool WriteModelFile(const std::string& path, const std::string& ownName, P3 reference, int material,
                    const MeshBuilder& mesh);

}  // namespace sample
