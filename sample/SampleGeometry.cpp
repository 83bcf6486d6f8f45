// Mesh building and the two text formats the sample world is written in.
#include "sample/SampleGeometry.h"

#include <cmath>

namespace sample {
namespace {

P3 Sub(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 Cross(P3 u, P3 v) { return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}; }
float Dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

void MeshBuilder::Triangle(P3 a, P3 b, P3 c, UV ta, UV tb, UV tc, P3 outward) {
  // The engine's face normal is (b - a) x (c - a); front faces have it
  // pointing at the viewer.
  if (Dot(Cross(Sub(b, a), Sub(c, a)), outward) < 0.0f) {
    std::swap(b, c);
    std::swap(tb, tc);
  }
  const int base = static_cast<int>(positions.size());
  positions.insert(positions.end(), {a, b, c});
  texVertices.insert(texVertices.end(), {ta, tb, tc});
  faces.insert(faces.end(), {base, base + 1, base + 2});
}

void MeshBuilder::Quad(P3 a, P3 b, P3 c, P3 d, const UV uv[4], P3 outward) {
  Triangle(a, b, c, uv[0], uv[1], uv[2], outward);
  Triangle(a, c, d, uv[0], uv[2], uv[3], outward);
}

void MeshBuilder::QuadInRect(P3 a, P3 b, P3 c, P3 d, Rect r, P3 outward) {
  // a is the lower left corner seen from the front, then up, across, down.
  const UV uv[4] = {{r.u0, r.v1}, {r.u0, r.v0}, {r.u1, r.v0}, {r.u1, r.v1}};
  Quad(a, b, c, d, uv, outward);
}

void MeshBuilder::Box(P3 lo, P3 hi, Rect r) {
  QuadInRect({lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z}, r, {0, 0, -1});
  QuadInRect({hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z}, r, {0, 0, 1});
  QuadInRect({lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}, {lo.x, lo.y, lo.z}, r, {-1, 0, 0});
  QuadInRect({hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}, r, {1, 0, 0});
  QuadInRect({lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, r, {0, 1, 0});
}

bool WriteAse(const std::string& path, const std::vector<std::string>& bitmaps, const std::vector<AseObject>& objects) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  // The exporter's space has z up: engine (x, y, z) is (x, z, y) there, and
  // the exporter lists corners A, B, C the other way round.
  std::fprintf(f, "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"sample world\"\n");
  std::fprintf(f, "*SCENE {\n\t*SCENE_FILENAME \"sample.max\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n}\n");
  std::fprintf(f, "*MATERIAL_LIST {\n\t*MATERIAL_COUNT %zu\n", bitmaps.size());
  for (std::size_t m = 0; m < bitmaps.size(); ++m) {
    std::fprintf(f, "\t*MATERIAL %zu {\n\t\t*MATERIAL_NAME \"Material%zu\"\n"
                    "\t\t*MATERIAL_CLASS \"Standard\"\n\t\t*MAP_DIFFUSE {\n\t\t\t*MAP_NAME \"map%zu\"\n"
                    "\t\t\t*MAP_CLASS \"Bitmap\"\n\t\t\t*MAP_SUBNO 1\n\t\t\t*MAP_AMOUNT 1.0000\n"
                    "\t\t\t*BITMAP \"%s\"\n\t\t\t*MAP_TYPE Screen\n\t\t}\n\t}\n",
                 m, m, m, bitmaps[m].c_str());
  }
  std::fprintf(f, "}\n");
  for (const AseObject& o : objects) {
    const MeshBuilder& mesh = o.mesh;
    std::fprintf(f, "*GEOMOBJECT {\n\t*NODE_NAME \"%s\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"%s\"\n"
                    "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
                    "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 %.4f\t%.4f\t%.4f\n\t}\n",
                 o.name.c_str(), o.name.c_str(), static_cast<double>(o.pivot.x), static_cast<double>(o.pivot.z),
                 static_cast<double>(o.pivot.y));
    const std::size_t triangles = mesh.faces.size() / 3;
    std::fprintf(f, "\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX %zu\n\t\t*MESH_NUMFACES %zu\n\t\t*MESH_VERTEX_LIST {\n",
                 mesh.positions.size(), triangles);
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
      const P3& p = mesh.positions[i];
      std::fprintf(f, "\t\t\t*MESH_VERTEX %4zu\t%.4f\t%.4f\t%.4f\n", i, static_cast<double>(p.x),
                   static_cast<double>(p.z), static_cast<double>(p.y));
    }
    std::fprintf(f, "\t\t}\n\t\t*MESH_FACE_LIST {\n");
    for (std::size_t t = 0; t < triangles; ++t) {
      const int* c = &mesh.faces[3 * t];
      std::fprintf(f, "\t\t\t*MESH_FACE %4zu:    A:%5d B:%5d C:%5d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n",
                   t, c[0], c[2], c[1]);
    }
    std::fprintf(f, "\t\t}\n\t\t*MESH_NUMTVERTEX %zu\n\t\t*MESH_TVERTLIST {\n", mesh.texVertices.size());
    for (std::size_t i = 0; i < mesh.texVertices.size(); ++i) {
      const UV& t = mesh.texVertices[i];
      std::fprintf(f, "\t\t\t*MESH_TVERT %zu\t%.4f\t%.4f\t0.0000\n", i, static_cast<double>(t.u),
                   static_cast<double>(1.0f - t.v));
    }
    std::fprintf(f, "\t\t}\n\t\t*MESH_NUMTVFACES %zu\n\t\t*MESH_TFACELIST {\n", triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
      const int* c = &mesh.faces[3 * t];
      std::fprintf(f, "\t\t\t*MESH_TFACE %zu\t%d\t%d\t%d\n", t, c[0], c[2], c[1]);
    }
    std::fprintf(f, "\t\t}\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n\t*PROP_RECVSHADOW 1\n\t*MATERIAL_REF %d\n}\n",
                 o.materialRef);
  }
  return std::fclose(f) == 0;
}

bool WriteModelFile(const std::string& path, const std::string& ownName, P3 reference, int material,
                    const MeshBuilder& mesh) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::size_t triangles = mesh.faces.size() / 3;
  std::fprintf(f, "%s\n", ownName.c_str());
  std::fprintf(f, "Pos %f %f %f\n", static_cast<double>(reference.x), static_cast<double>(reference.y),
               static_cast<double>(reference.z));
  std::fprintf(f, "NumVertex %zu\nNumFace %zu\n", mesh.positions.size(), triangles);
  for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
    const P3& p = mesh.positions[i];
    std::fprintf(f, "VERTEX %zu %f %f %f\n", i, static_cast<double>(p.x), static_cast<double>(p.y),
                 static_cast<double>(p.z));
  }
  for (std::size_t t = 0; t < triangles; ++t) {
    const int* c = &mesh.faces[3 * t];
    std::fprintf(f, "FACE %zu %d %d %d\n", t, c[0], c[2], c[1]);
  }
  std::fprintf(f, "NumTVertex %zu\n", mesh.texVertices.size());
  for (std::size_t i = 0; i < mesh.texVertices.size(); ++i) {
    const UV& t = mesh.texVertices[i];
    std::fprintf(f, "TVERTEX %zu %f %f %f\n", i, static_cast<double>(t.u), 0.0, static_cast<double>(1.0f - t.v));
  }
  std::fprintf(f, "NumTFace %zu\n", triangles);
  for (std::size_t t = 0; t < triangles; ++t) {
    const int* c = &mesh.faces[3 * t];
    std::fprintf(f, "TFACE %zu %d %d %d\n", t, c[0], c[2], c[1]);
  }
  std::fprintf(f, "MatID %d\nEnd\n", material);
  return std::fclose(f) == 0;
}

}  // namespace sample
