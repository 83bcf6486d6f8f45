// Save > "Mesh": one model file per "*GEOMOBJECT", the depth rule, the
// values each keyword keeps, 16-bit corners and the glued corner labels.
#include <gtest/gtest.h>

#include "formats/LineReader.h"
#include "tests/tool/ToolTestSupport.h"
#include "tool/MeshConverter.h"

namespace tarn::tool {
namespace {

using testing::Exists;
using testing::ReadAll;
using testing::ScratchFolder;

MeshRun Convert(const std::string& ase) {
  formats::LineReader reader(ase.data(), ase.size());
  return ConvertMeshStream(reader);
}

const char kCube[] =
    "*3DSMAX_ASCIIEXPORT\t200\r\n"
    "*GEOMOBJECT {\r\n"
    "\t*NODE_NAME \"Box01\"\r\n"
    "\t*NODE_TM {\r\n"
    "\t\t*NODE_NAME \"Box01\"\r\n"
    "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\r\n"
    "\t\t*TM_ROW3 1.5000\t2.2500\t-3.1250\r\n"
    "\t}\r\n"
    "\t*MESH {\r\n"
    "\t\t*MESH_NUMVERTEX 3\r\n"
    "\t\t*MESH_NUMFACES 1\r\n"
    "\t\t*MESH_VERTEX_LIST {\r\n"
    "\t\t\t*MESH_VERTEX    0\t-1.0000\t2.0000\t3.0000\r\n"
    "\t\t\t*MESH_VERTEX    1\t4.0000\t5.0000\t6.0000\r\n"
    "\t\t\t*MESH_VERTEX    2\t7.0000\t8.0000\t9.0000\r\n"
    "\t\t}\r\n"
    "\t\t*MESH_FACE_LIST {\r\n"
    "\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 1\r\n"
    "\t\t}\r\n"
    "\t\t*MESH_NUMTVERTEX 1\r\n"
    "\t\t*MESH_TVERTLIST {\r\n"
    "\t\t\t*MESH_TVERT 0\t0.2500\t0.7500\t0.0000\r\n"
    "\t\t}\r\n"
    "\t\t*MESH_NUMTVFACES 1\r\n"
    "\t\t*MESH_TFACELIST {\r\n"
    "\t\t\t*MESH_TFACE 0\t0\t0\t0\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "\t*MATERIAL_REF 2\r\n"
    "}\r\n";

TEST(MeshConverter, WritesTheModelFileWithSwappedAxes) {
  ScratchFolder folder;
  MeshRun run = Convert(kCube);
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(run.filesWritten, 1);
  EXPECT_EQ(ReadAll("0.t3m"),
            "0.t3m\n"
            "Pos 1.500000 -3.125000 2.250000\n"
            "NumVertex 3\n"
            "NumFace 1\n"
            "VERTEX 0 -1.000000 3.000000 2.000000\n"
            "VERTEX 1 4.000000 6.000000 5.000000\n"
            "VERTEX 2 7.000000 9.000000 8.000000\n"
            "FACE 0 0 1 2\n"
            "NumTVertex 1\n"
            "TVERTEX 0 0.250000 0.000000 0.750000\n"
            "NumTFace 1\n"
            "TFACE 0 0 0 0\n"
            "MatID 2\n"
            "End\n");
  EXPECT_FALSE(Exists("1.t3m"));
}

TEST(MeshConverter, MakesNoFileWithoutGeometryAndSkipsOtherObjects) {
  ScratchFolder folder;
  EXPECT_EQ(Convert("*3DSMAX_ASCIIEXPORT 200\n*SCENE {\n}\n").filesWritten, 0);
  EXPECT_EQ(Convert("").filesWritten, 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  // A helper and a camera between two meshes neither make files nor take numbers.
  std::string ase = "*HELPEROBJECT {\n\t*NODE_NAME \"Dummy\"\n\t*TM_ROW3 1 2 3\n}\n"
                    "*GEOMOBJECT {\n\t*NODE_NAME \"A\"\n\t*MATERIAL_REF 1\n}\n"
                    "*CAMERAOBJECT {\n\t*TM_ROW3 9 9 9\n}\n"
                    "*GEOMOBJECT {\n\t*NODE_NAME \"B\"\n\t*MATERIAL_REF 2\n}\n";
  EXPECT_EQ(Convert(ase).filesWritten, 2);
  EXPECT_EQ(ReadAll("0.t3m"), "0.t3m\nMatID 1\nEnd\n");
  EXPECT_EQ(ReadAll("1.t3m"), "1.t3m\nMatID 2\nEnd\n");
  EXPECT_FALSE(Exists("2.t3m"));
}

TEST(MeshConverter, EveryRunRestartsAtZeroAndLeavesSurplusFiles) {
  ScratchFolder folder;
  std::string two = "*GEOMOBJECT {\n*MATERIAL_REF 1\n}\n*GEOMOBJECT {\n*MATERIAL_REF 2\n}\n";
  std::string one = "*GEOMOBJECT {\n*MATERIAL_REF 7\n}\n";
  EXPECT_EQ(Convert(two).filesWritten, 2);
  EXPECT_EQ(Convert(one).filesWritten, 1);
  EXPECT_EQ(ReadAll("0.t3m"), "0.t3m\nMatID 7\nEnd\n");
  EXPECT_EQ(ReadAll("1.t3m"), "1.t3m\nMatID 2\nEnd\n");
  // No temporary file is left beside the outputs.
  int files = 0;
  for (auto& entry : std::filesystem::directory_iterator(folder.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 2);
}

TEST(MeshConverter, ObjectWithoutMeshGetsNamePosMaterialAndEnd) {
  ScratchFolder folder;
  Convert("*GEOMOBJECT {\n\t*NODE_NAME \"Empty\"\n\t*NODE_TM {\n\t\t*TM_ROW3 1.0 2.0 3.0\n\t}\n\t*MATERIAL_REF 0\n}\n");
  EXPECT_EQ(ReadAll("0.t3m"), "0.t3m\nPos 1.000000 3.000000 2.000000\nMatID 0\nEnd\n");
}

TEST(MeshConverter, NestedGeomObjectEndsTheFileAndIsSkipped) {
  ScratchFolder folder;
  std::string ase = "*GEOMOBJECT {\n*MATERIAL_REF 1\n"
                    "*GEOMOBJECT {\n*MATERIAL_REF 2\n}\n"  // met before the first one's braces close
                    "*MATERIAL_REF 3\n}\n"
                    "*GEOMOBJECT {\n*MATERIAL_REF 4\n}\n";
  EXPECT_EQ(Convert(ase).filesWritten, 2);
  EXPECT_EQ(ReadAll("0.t3m"), "0.t3m\nMatID 1\nEnd\n");
  EXPECT_EQ(ReadAll("1.t3m"), "1.t3m\nMatID 4\nEnd\n");
}

TEST(MeshConverter, InputEndingInsideAnObjectStillEnds) {
  ScratchFolder folder;
  Convert("*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX 5");
  EXPECT_EQ(ReadAll("0.t3m"), "0.t3m\nNumVertex 5\nEnd\n");
  // Brace lines deeper in keep the object open until its own brace closes.
  Convert("*GEOMOBJECT {\n\t*MESH {\n\t}\n\t*MATERIAL_REF 3\n}\n*MATERIAL_REF 9\n");
  EXPECT_EQ(ReadAll("0.t3m"), "0.t3m\nMatID 3\nEnd\n");
}

TEST(MeshConverter, CornersAreSixteenBitAndGluedLabelsRead) {
  ScratchFolder folder;
  Convert("*GEOMOBJECT {\n"
          "*MESH_FACE 0:    A:65536 B:65537 C:    70000 AB: 1\n"
          "*MESH_FACE 10000:    A:10000 B:10001 C:10002 AB:    1\n"
          "*MESH_FACE 3: A: -1 B: 2 C: 3\n"
          "}\n");
  EXPECT_EQ(ReadAll("0.t3m"), "0.t3m\nFACE 0 0 1 4464\nFACE 10000 10000 10001 10002\nFACE 3 65535 2 3\nEnd\n");
}

TEST(MeshConverter, LinesWithoutNumbersRepeatTheirKeywordsLastValues) {
  ScratchFolder folder;
  Convert("*GEOMOBJECT {\n"
          "*MESH_VERTEX\n"                          // before any: zeros
          "*MESH_VERTEX 4 1.0 2.0 3.0\n"
          "*MESH_VERTEX 5 x\n"                      // index read, the rest kept
          "*MESH_NUMVERTEX\n"
          "*MESH_NUMFACES 12\n*MESH_NUMFACES\n"     // each count keeps its own
          "*MESH_FACE 1: A: 7 B:\n"
          "*MESH_TVERT 2 0.5\n"
          "*MATERIAL_REF -1.#IND\n"
          "}\n");
  EXPECT_EQ(ReadAll("0.t3m"),
            "0.t3m\n"
            "VERTEX 0 0.000000 0.000000 0.000000\n"
            "VERTEX 4 1.000000 3.000000 2.000000\n"
            "VERTEX 5 1.000000 3.000000 2.000000\n"
            "NumVertex 0\n"
            "NumFace 12\nNumFace 12\n"
            "FACE 1 7 0 0\n"
            "TVERTEX 2 0.500000 0.000000 0.000000\n"
            "MatID -1\n"
            "End\n");
}

TEST(MeshConverter, SurvivesHostileInput) {
  ScratchFolder folder;
  std::string ase = "*GEOMOBJECT {\n" + std::string(100000, 'x') + "\n*MESH_VERTEX 1 1e40 -1e40 nan\n" +
                    std::string("\0\xff\xfe{\n", 5) + "*MESH_NUMVERTEX 2147483648\n*MESH_FACE 2147483647: A: 99999999999 B: 1 C: 2\n";
  for (int i = 0; i < 1000; ++i) ase += "} {\n";
  MeshRun run = Convert(ase);
  EXPECT_TRUE(run.ok);
  std::string out = ReadAll("0.t3m");
  EXPECT_NE(out.find("VERTEX 1 inf nan -inf\n"), std::string::npos) << out;
  EXPECT_NE(out.find("NumVertex -2147483648\n"), std::string::npos);
  EXPECT_NE(out.find("FACE 2147483647 59391 1 2\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 4), "End\n");
}

TEST(MeshConverter, ReportsAFolderItCannotWriteTo) {
  ScratchFolder folder;
  std::filesystem::create_directory("0.t3m");  // a folder where the model file would go
  MeshRun run = Convert("*GEOMOBJECT {\n}\n");
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.failedFile, "0.t3m");
  EXPECT_FALSE(run.reason.empty());
}

}  // namespace
}  // namespace tarn::tool
