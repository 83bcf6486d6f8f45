// Generated ASE exports in the layout 3ds Max writes (tab-indented blocks,
// tab-separated numbers, quoted names), for the tool's tests and benchmarks:
// static meshes, and a biped with animation samples and a skinned mesh whose
// "*PHYSIQUE" block follows its "*MATERIAL_REF", as exporters write it.
// Writes to a stdio stream and returns the bytes written.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tarn::tool::testing {

// The 24 biped nodes, parent first ("" for the root), with their bone ids.
struct BipedNode {
  const char* name;
  const char* parent;
  int id;
};
inline constexpr BipedNode kBiped[24] = {
    {"Bip01", "", 1},
    {"Bip01 Pelvis", "Bip01", 2},
    {"Bip01 Spine", "Bip01 Pelvis", 3},
    {"Bip01 Neck", "Bip01 Spine", 4},
    {"Bip01 R Clavicle", "Bip01 Neck", 5},
    {"Bip01 L Clavicle", "Bip01 Neck", 6},
    {"Bip01 Head", "Bip01 Neck", 7},
    {"Bip01 R Thigh", "Bip01 Spine", 8},
    {"Bip01 R Calf", "Bip01 R Thigh", 9},
    {"Bip01 R Foot", "Bip01 R Calf", 10},
    {"Bip01 L Thigh", "Bip01 Spine", 11},
    {"Bip01 L Calf", "Bip01 L Thigh", 12},
    {"Bip01 L Foot", "Bip01 L Calf", 13},
    {"Bip01 L UpperArm", "Bip01 L Clavicle", 14},
    {"Bip01 L Forearm", "Bip01 L UpperArm", 15},
    {"Bip01 L Hand", "Bip01 L Forearm", 16},
    {"Bip01 R UpperArm", "Bip01 R Clavicle", 17},
    {"Bip01 R Forearm", "Bip01 R UpperArm", 18},
    {"Bip01 R Hand", "Bip01 R Forearm", 19},
    {"Bip01 L Finger0", "Bip01 L Hand", 20},
    {"Bip01 R Finger0", "Bip01 R Hand", 21},
    {"Bip01 R Toe0", "Bip01 R Foot", 22},
    {"Bip01 L Toe0", "Bip01 L Foot", 23},
    {"Bip01 Footsteps", "Bip01", 24},
};

class AseWriter {
 public:
  explicit AseWriter(std::FILE* out) : out_(out) {}
  long long Bytes() const { return bytes_; }

  void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));

  void Header(int firstFrame, int lastFrame) {
    Line("*3DSMAX_ASCIIEXPORT\t200");
    Line("*COMMENT \"AsciiExport-Version  2,00\"");
    Line("*SCENE {");
    Line("\t*SCENE_FILENAME \"\"");
    Line("\t*SCENE_FIRSTFRAME %d", firstFrame);
    Line("\t*SCENE_LASTFRAME %d", lastFrame);
    Line("\t*SCENE_FRAMESPEED 30");
    Line("\t*SCENE_TICKSPERFRAME 160");
    Line("}");
    Line("*MATERIAL_LIST {");
    Line("\t*MATERIAL_COUNT 1");
    Line("\t*MATERIAL 0 {");
    Line("\t\t*MATERIAL_NAME \"Skin\"");
    Line("\t}");
    Line("}");
  }

  void NodeTm(const char* name, float x, float y, float z) {
    Line("\t*NODE_TM {");
    Line("\t\t*NODE_NAME \"%s\"", name);
    Line("\t\t*INHERIT_POS 0 0 0");
    Line("\t\t*TM_ROW0 1.0000\t0.0000\t0.0000");
    Line("\t\t*TM_ROW1 0.0000\t1.0000\t0.0000");
    Line("\t\t*TM_ROW2 0.0000\t0.0000\t1.0000");
    Line("\t\t*TM_ROW3 %.4f\t%.4f\t%.4f", x, y, z);
    Line("\t}");
  }

  // A grid mesh of `vertices` vertices (rounded down to whole rows of 100)
  // with two faces per grid cell and texture vertices; corners of five digits
  // are glued to their labels, as the exporter writes them.
  void Mesh(int vertices, int materialRef, bool physique);

  // One "*GEOMOBJECT" with a mesh; `name` quoted.
  void MeshObject(const char* name, int vertices, bool physique = false) {
    Line("*GEOMOBJECT {");
    Line("\t*NODE_NAME \"%s\"", name);
    NodeTm(name, 1.5f, 2.25f, -3.125f);
    Mesh(vertices, 0, physique);
    Line("}");
  }

  // The 24 biped nodes, each with `samples` position and rotation samples.
  void Biped(int samples) {
    for (const BipedNode& node : kBiped) {
      Line("*GEOMOBJECT {");
      Line("\t*NODE_NAME \"%s\"", node.name);
      if (*node.parent) Line("\t*NODE_PARENT \"%s\"", node.parent);
      NodeTm(node.name, 0.25f * node.id, 19.5f, 34.0625f);
      Line("\t*TM_ANIMATION {");
      Line("\t\t*NODE_NAME \"%s\"", node.name);
      Line("\t\t*CONTROL_POS_TRACK {");
      for (int s = 0; s < samples; ++s)
        Line("\t\t\t*CONTROL_POS_SAMPLE %d\t%.4f\t%.4f\t%.4f", s * 160, 0.001f * s, 19.5f - 0.0001f * s, 34.0f);
      Line("\t\t}");
      Line("\t\t*CONTROL_ROT_TRACK {");
      for (int s = 0; s < samples; ++s)
        Line("\t\t\t*CONTROL_ROT_SAMPLE %d\t%.4f\t%.4f\t%.4f\t%.4f", s * 160, -0.0014f, 0.5f, 0.8660f, 0.0001f * s);
      Line("\t\t}");
      Line("\t}");
      Line("}");
    }
  }

 private:
  std::FILE* out_;
  long long bytes_ = 0;
};

inline void AseWriter::Line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = std::vfprintf(out_, format, args);
  va_end(args);
  std::fputc('\n', out_);
  bytes_ += n + 1;
}

inline void AseWriter::Mesh(int vertices, int materialRef, bool physique) {
  const int columns = 100;
  int rows = vertices / columns;
  if (rows < 2) rows = 2;
  const int count = rows * columns;
  const int faces = (rows - 1) * (columns - 1) * 2;
  Line("\t*MESH {");
  Line("\t\t*TIMEVALUE 0");
  Line("\t\t*MESH_NUMVERTEX %d", count);
  Line("\t\t*MESH_NUMFACES %d", faces);
  Line("\t\t*MESH_VERTEX_LIST {");
  for (int i = 0; i < count; ++i)
    Line("\t\t\t*MESH_VERTEX %5d\t%.4f\t%.4f\t%.4f", i, 0.5f * (i % columns), -0.25f * (i / columns), 0.125f * (i % 7));
  Line("\t\t}");
  Line("\t\t*MESH_FACE_LIST {");
  int f = 0;
  for (int r = 0; r + 1 < rows; ++r)
    for (int c = 0; c + 1 < columns; ++c) {
      int a = r * columns + c, b = a + 1, d = a + columns;
      Line("\t\t\t*MESH_FACE %5d:    A:%5d B:%5d C:%5d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0",
           f++, a, d, b);
      Line("\t\t\t*MESH_FACE %5d:    A:%5d B:%5d C:%5d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0",
           f++, b, d, d + 1);
    }
  Line("\t\t}");
  Line("\t\t*MESH_NUMTVERTEX %d", count);
  Line("\t\t*MESH_TVERTLIST {");
  for (int i = 0; i < count; ++i)
    Line("\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000", i, (i % columns) / 99.0f, (i / columns) / float(rows));
  Line("\t\t}");
  Line("\t\t*MESH_NUMTVFACES %d", faces);
  Line("\t\t*MESH_TFACELIST {");
  f = 0;
  for (int r = 0; r + 1 < rows; ++r)
    for (int c = 0; c + 1 < columns; ++c) {
      int a = r * columns + c, b = a + 1, d = a + columns;
      Line("\t\t\t*MESH_TFACE %d\t%d\t%d\t%d", f++, a, d, b);
      Line("\t\t\t*MESH_TFACE %d\t%d\t%d\t%d", f++, b, d, d + 1);
    }
  Line("\t\t}");
  Line("\t}");
  Line("\t*PROP_MOTIONBLUR 0");
  Line("\t*MATERIAL_REF %d", materialRef);
  if (physique) {
    Line("\t*PHYSIQUE {");
    Line("\t\t*PHYSIQUE_NUMVERTEXASSIGNMENT %d", count);
    Line("\t\t*PHYSIQUE_VERTEXASSIGNMENT_LIST {");
    for (int i = 0; i < count; ++i)
      Line("\t\t\t*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE\t%d\t\"%s\"", i, kBiped[i % 24].name);
    Line("\t\t}");
    Line("\t}");
  }
}

}  // namespace tarn::tool::testing
