// The ASE house reader: depth rules, conversions and real exports.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "engine/scene/SceneNode.h"
#include "engine/world/AseReader.h"
#include "formats/LineReader.h"
#include "tests/world/WorldTestKit.h"

namespace {

int CountChildren(const SceneNode& root) {
  int n = 0;
  for (const SceneNode* c = root.firstChild.get(); c != nullptr; c = c->nextSibling.get()) ++n;
  return n;
}

void ReadHouse(MeshObject& mesh, SceneNode& root, const std::string& text, CapturedLog* log = nullptr) {
  tarn::formats::LineReader reader(text.data(), text.size());
  CapturedLog ignore;
  ReadAseHouse(reader, text.size(), "house.ase", mesh, &root, (log ? log : &ignore)->Sink());
}

std::string Object(const std::string& name, int faces, const std::string& extra = "") {
  std::string s = "*GEOMOBJECT {\n\t*NODE_NAME \"" + name + "\"\n\t*NODE_TM {\n\t\t*TM_ROW3 10.0 20.0 30.0\n\t}\n";
  s += "\t*MESH {\n\t\t*MESH_NUMVERTEX 4\n\t\t*MESH_NUMFACES " + std::to_string(faces) + "\n";
  s += "\t\t*MESH_VERTEX_LIST {\n\t\t\t*MESH_VERTEX    3\t1.0\t2.0\t3.0\n\t\t}\n";
  s += "\t\t*MESH_FACE_LIST {\n\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n\t\t}\n";
  s += "\t\t*MESH_NUMTVERTEX 1\n\t\t*MESH_TVERTLIST {\n\t\t\t*MESH_TVERT 0\t0.5\t0.2\t0.0\n\t\t}\n";
  s += "\t\t*MESH_NUMTVFACES 1\n\t\t*MESH_TFACELIST {\n\t\t\t*MESH_TFACE 0\t0\t0\t0\n\t\t}\n";
  s += extra;
  s += "\t}\n\t*MATERIAL_REF 0\n}\n";
  return s;
}

const char kMaterials[] =
    "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 2\n\t*MATERIAL 0 {\n\t\t*MAP_DIFFUSE {\n\t\t\t*MAP_CLASS \"Bitmap\"\n"
    "\t\t\t*BITMAP \"C:\\maps\\wall.bmp\"\n\t\t}\n\t}\n\t*MATERIAL 1 {\n\t\t*MAP_DIFFUSE {\n"
    "\t\t\t*BITMAP \"roof tiles.bmp\"\n\t\t}\n\t}\n\t*MATERIAL 7 {\n\t\t*BITMAP \"x\"\n\t}\n}\n";

TEST(AseReader, ConvertsVerticesFacesAndTextureVertices) {
  MeshObject mesh;
  SceneNode root;
  ReadHouse(mesh, root, Object("wall", 1));
  ASSERT_EQ(CountChildren(root), 1);
  EXPECT_EQ(root.firstChild->drawRecord, &mesh.drawRecord);
  EXPECT_FLOAT_EQ(mesh.Positions()[3].x, 1.0f);
  EXPECT_FLOAT_EQ(mesh.Positions()[3].y, 3.0f);
  EXPECT_FLOAT_EQ(mesh.Positions()[3].z, 2.0f);
  EXPECT_EQ(mesh.FaceIndices(), (std::vector<std::uint16_t>{0, 2, 1}));
  EXPECT_FLOAT_EQ(mesh.drawRecord.vertices[0].tu, 0.5f);
  EXPECT_FLOAT_EQ(mesh.drawRecord.vertices[0].tv, 0.8f);
  // No *TM_ROW3 inside the mesh: the object's transform row, y and z swapped.
  EXPECT_FLOAT_EQ(mesh.drawRecord.referencePoint.y, 30.0f);
  EXPECT_FLOAT_EQ(mesh.drawRecord.referencePoint.z, 20.0f);
}

TEST(AseReader, TwoObjectsShareOneRecordAndLateListsAreNotRead) {
  MeshObject mesh;
  SceneNode root;
  ReadHouse(mesh, root, Object("first", 1) + std::string(kMaterials) + Object("second", 2) + "*MATERIAL_REF 5\n");
  // The object scan runs on after the first mesh: both meshes attach the
  // same record, which holds the second; later top-level keywords are not acted on.
  ASSERT_EQ(CountChildren(root), 2);
  EXPECT_EQ(root.firstChild->nextSibling->drawRecord, &mesh.drawRecord);
  EXPECT_EQ(mesh.drawRecord.vertexCount, 3);  // two faces declared, one present
  EXPECT_TRUE(mesh.Materials().empty());
  EXPECT_EQ(mesh.drawRecord.materialIndex, 0);
}

TEST(AseReader, MaterialsAndMaterialRefBeforeTheObject) {
  MeshObject mesh;
  mesh.drawRecord.materialIndex = 3;
  SceneNode root;
  ReadHouse(mesh, root, "*MATERIAL_REF 6\n" + std::string(kMaterials) + Object("house", 1));
  EXPECT_EQ(mesh.drawRecord.materialIndex, 6);
  ASSERT_EQ(mesh.Materials().size(), 2u);
  EXPECT_EQ(mesh.Materials()[0].bitmap, "C:\\maps\\wall.bmp");
  EXPECT_EQ(mesh.Materials()[1].bitmap, "roo");  // "\"roof" cut at the blank loses its first and last characters
  EXPECT_EQ(CountChildren(root), 1);
}

TEST(AseReader, SecondTextureChannelReplacesTheFirstAndEndsTheMeshScan) {
  const std::string channel =
      "\t\t*MESH_MAPPINGCHANNEL 2 {\n\t\t\t*MESH_NUMTVERTEX 1\n\t\t\t*MESH_TVERTLIST {\n"
      "\t\t\t\t*MESH_TVERT 0\t0.9\t0.4\t0.0\n\t\t\t}\n\t\t}\n\t\t*MESH_NUMFACES 7\n";
  MeshObject mesh;
  SceneNode root;
  // After this object's own closing brace the top level reads again.
  ReadHouse(mesh, root, Object("house", 1, channel) + "*MATERIAL_REF 8\n");
  EXPECT_FLOAT_EQ(mesh.drawRecord.vertices[0].tu, 0.9f);
  EXPECT_FLOAT_EQ(mesh.drawRecord.vertices[0].tv, 0.6f);
  EXPECT_EQ(mesh.FaceCount(), 1);  // the NUMFACES after the channel is not mesh-scanned
  EXPECT_EQ(mesh.drawRecord.materialIndex, 8);
}

TEST(AseReader, FaceCornersGluedToTheirLabels) {
  std::string text =
      "*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 65536\n*MESH_NUMFACES 2\n"
      "*MESH_FACE 0:    A:10000 B:10001 C:65535 AB: 1\n"
      "*MESH_FACE     1:    A:    7 B:12345 C:    9\n"
      "*MESH_FACE 5:    A:    1 B:    1 C:    1\n}\n}\n";
  text += std::string(600000, ' ') + "\n";  // room for the vertex count
  MeshObject mesh;
  SceneNode root;
  ReadHouse(mesh, root, text);
  EXPECT_EQ(mesh.FaceIndices(), (std::vector<std::uint16_t>{10000, 65535, 10001, 7, 9, 12345}));
}

TEST(AseReader, StripQuotesAndLongNames) {
  char a[] = "\"name\"", b[] = "x", c[] = "";
  StripQuotes(a);
  StripQuotes(b);
  StripQuotes(c);
  EXPECT_STREQ(a, "name");
  EXPECT_STREQ(b, "");
  EXPECT_STREQ(c, "");
  const std::string longName(200, 'n');
  std::string text = "*GEOMOBJECT {\n*MESH {\n*NODE_NAME \"" + longName + "\"\n*TM_ROW3 1 2 3\n}\n}\n";
  MeshObject mesh;
  SceneNode root;
  ReadHouse(mesh, root, text);
  ASSERT_NE(mesh.drawRecord.nodeName, nullptr);
  EXPECT_EQ(std::string(mesh.drawRecord.nodeName), longName);
  EXPECT_FLOAT_EQ(mesh.drawRecord.referencePoint.y, 3.0f);
}

// Real exports: the record holds the last mesh read, one node per mesh
// block, and the triangle count is the last "*MESH_NUMFACES" of the file.
TEST(AseReader, RealExports) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TestData("ase"))) {
    // The 16-bit exports are counted by their 8-bit twin (TrustTest).
    if (entry.path().string().find("UTF16") != std::string::npos) continue;
    std::string text = ReadFileText(entry.path().string());
    int meshes = 0;
    long lastFaces = 0;
    tarn::formats::LineReader lines(text.data(), text.size());
    while (lines.NextKeywordLine()) {
      if (lines.Is("*MESH")) ++meshes;
      if (lines.Is("*MESH_NUMFACES")) lastFaces = std::strtol(std::string(lines.SecondWord()).c_str(), nullptr, 10);
    }
    MeshObject mesh;
    SceneNode root;
    CapturedLog log;
    ASSERT_EQ(LoadAseHouse(entry.path().c_str(), mesh, &root, log.Sink()), AseHouseResult::kRead);
    EXPECT_EQ(CountChildren(root), meshes) << entry.path();
    if (meshes > 0) {
      EXPECT_EQ(mesh.drawRecord.vertexCount, 3 * lastFaces) << entry.path();
    }
    // A file without one ASE line is no export, and says so.
    if (text.find('*') == std::string::npos) {
      ASSERT_EQ(log.lines.size(), 1u) << entry.path();
      EXPECT_NE(log.lines[0].find("no ASE line"), std::string::npos) << log.lines[0];
    } else {
      EXPECT_TRUE(log.lines.empty()) << entry.path() << ": " << (log.lines.empty() ? "" : log.lines[0]);
    }
    ++files;
  }
  EXPECT_GE(files, 20);
}

TEST(AseReader, RealExportDetails) {
  MeshObject mesh;
  SceneNode root;
  ASSERT_EQ(LoadAseHouse(TestData("ase/cafu_crate2.ase").c_str(), mesh, &root), AseHouseResult::kRead);
  ASSERT_GT(mesh.drawRecord.vertexCount, 0);
  // Every drawn vertex is one of the mesh's positions.
  for (int k = 0; k < mesh.drawRecord.vertexCount; ++k) {
    const MeshVertex& v = mesh.drawRecord.vertices[k];
    const MeshVertex& p = mesh.Positions()[mesh.FaceIndices()[static_cast<std::size_t>(k)]];
    ASSERT_EQ(v.x, p.x);
    ASSERT_EQ(v.y, p.y);
    ASSERT_NEAR(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz, 1.0f, 1e-4f);
  }
}

}  // namespace
