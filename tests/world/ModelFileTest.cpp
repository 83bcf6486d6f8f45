// The mesh model file reader: swaps, bounds, maxPoint and the expansion.
#include <gtest/gtest.h>

#include <string>

#include "engine/world/ModelFileReader.h"
#include "formats/LineReader.h"
#include "tests/world/WorldTestKit.h"

namespace {

void Read(MeshObject& mesh, const std::string& text, CapturedLog* log = nullptr) {
  tarn::formats::LineReader reader(text.data(), text.size());
  CapturedLog ignore;
  ReadModelFile(reader, text.size(), "test.t3m", mesh, (log ? log : &ignore)->Sink());
}

const char kTriangle[] =
    "0.t3m\n"
    "Pos 1.000000 2.000000 3.000000\n"
    "NumVertex 3\n"
    "NumFace 1\n"
    "VERTEX 0 0.000000 0.000000 0.000000\n"
    "VERTEX 1 1.000000 0.000000 0.000000\n"
    "VERTEX 2 0.000000 0.000000 1.000000\n"
    "FACE 0 0 1 2\n"
    "NumTVertex 2\n"
    "TVERTEX 0 0.250000 0.000000 0.750000\n"
    "TVERTEX 1 1.000000 0.000000 1.000000\n"
    "NumTFace 1\n"
    "TFACE 0 0 1 1\n"
    "MatID 4\n"
    "End\n"
    "MatID 9\n";

TEST(ModelFile, SwapsWindingFlipsVAndStopsAtEnd) {
  MeshObject mesh;
  Read(mesh, kTriangle);
  ASSERT_EQ(mesh.drawRecord.vertexCount, 3);
  const MeshVertex* v = mesh.drawRecord.vertices;
  // FACE 0 1 2 is drawn 0, 2, 1.
  EXPECT_EQ(mesh.FaceIndices(), (std::vector<std::uint16_t>{0, 2, 1}));
  EXPECT_FLOAT_EQ(v[1].z, 1.0f);
  EXPECT_FLOAT_EQ(v[2].x, 1.0f);
  // TVERTEX 0.25 0 0.75: tu 0.25, tv 1 - 0.75.
  EXPECT_FLOAT_EQ(v[0].tu, 0.25f);
  EXPECT_FLOAT_EQ(v[0].tv, 0.25f);
  EXPECT_FLOAT_EQ(v[1].tu, 1.0f);
  EXPECT_FLOAT_EQ(v[1].tv, 0.0f);
  EXPECT_EQ(mesh.drawRecord.materialIndex, 4);  // nothing after End is read
  EXPECT_FLOAT_EQ(mesh.drawRecord.referencePoint.y, 2.0f);
  // Corners 0, (0,0,1), (1,0,0) run clockwise seen from above: normal +y.
  EXPECT_FLOAT_EQ(v[0].ny, 1.0f);
  EXPECT_FLOAT_EQ(v[2].ny, 1.0f);
}

TEST(ModelFile, CountsIndicesAndDefaults) {
  std::string text = "NumVertex 3\nNumFace 12\n\n   \n";
  for (int i = 0; i < 12; ++i) text += "FACE " + std::to_string(i) + " 0 1 70000\n";
  text += "FACE 12 1 1 1\nFACE -1 1 1 1\nVERTEX 5 9 9 9\nVERTEX 2 -3 -4 -5\nVERTEX 1 -1 -9 -2\n";
  text += "Pos 1 1 1\nPos 7 8 9";  // no End, no newline: the last line counts once
  MeshObject mesh;
  Read(mesh, text);
  EXPECT_EQ(mesh.drawRecord.vertexCount, 36);
  EXPECT_EQ(mesh.FaceIndices()[1], 4464);  // 70000 cut to 16 bits
  EXPECT_EQ(mesh.FaceIndices().size(), 36u);
  EXPECT_EQ(mesh.drawRecord.referencePoint.x, 7.0f);
  EXPECT_EQ(mesh.drawRecord.materialIndex, 0);
  // maxPoint: the largest of negative values, never 0.
  EXPECT_FLOAT_EQ(mesh.drawRecord.maxPoint.x, -1.0f);
  EXPECT_FLOAT_EQ(mesh.drawRecord.maxPoint.y, -4.0f);
  EXPECT_FLOAT_EQ(mesh.drawRecord.maxPoint.z, -2.0f);
  // Corner 4464 names no position, and there are no texture lines: zeros.
  EXPECT_FLOAT_EQ(mesh.drawRecord.vertices[1].x, 0.0f);
  EXPECT_FLOAT_EQ(mesh.drawRecord.vertices[2].x, -1.0f);
  EXPECT_FLOAT_EQ(mesh.drawRecord.vertices[0].tu, 0.0f);
}

TEST(ModelFile, HugeCountsAreBoundedByTheInput) {
  CapturedLog log;
  MeshObject mesh;
  const std::string text = "NumFace 2000000000\nNumVertex 2000000000\nNumTVertex -5\nFACE 3 0 0 0\nEnd\n";
  Read(mesh, text, &log);
  EXPECT_LE(mesh.FaceCount(), static_cast<std::int32_t>(text.size()));
  EXPECT_EQ(mesh.TexVertexCount(), 0);
  EXPECT_TRUE(log.Mentions("test.t3m line 1"));
  EXPECT_TRUE(log.Mentions("line 3"));
  // Positions are also held to what a 16-bit index can name.
  std::string big(1 << 20, '\n');
  MeshObject wide;
  Read(wide, "NumVertex 100000\n" + big, &log);
  EXPECT_EQ(wide.PositionCount(), MeshObject::kMaxIndexed);
}

TEST(ModelFile, MissingFileLeavesTheMeshEmptyAndLogs) {
  ScratchFolder scratch;
  MeshObject mesh;
  EXPECT_EQ(LoadModelFile("nothere.t3m", mesh), ModelFileResult::kCannotOpen);
  EXPECT_EQ(mesh.drawRecord.vertexCount, 0);
  EXPECT_NE(ReadFileText("Tarn.log").find("Error: nothere.t3m"), std::string::npos);
  WriteFile("Model/3.t3m", std::string(kTriangle));
  MeshObject loaded;
  EXPECT_EQ(LoadModelFile("model\\3.t3m", loaded), ModelFileResult::kRead);  // Windows separators, other case
  EXPECT_EQ(loaded.drawRecord.vertexCount, 3);
}

}  // namespace
