// Exports nobody here wrote (../shared/testdata/ase) and the generated biped
// with its physique block: they convert without errors, the outputs hold one
// line per source line they come from, and every model file loads in the
// engine's model reader with the triangle count its object declares.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "engine/world/ModelFileReader.h"
#include "formats/LineReader.h"
#include "tests/tool/AseGenerator.h"
#include "tests/tool/ToolTestSupport.h"
#include "tool/CharacterConverter.h"
#include "tool/MeshConverter.h"

namespace tarn::tool {
namespace {

using testing::ReadAll;
using testing::ScratchFolder;

// Counts of keyword lines, first word as the line reader sees it.
std::map<std::string, int> KeywordCounts(const std::string& text) {
  std::map<std::string, int> counts;
  formats::LineReader reader(text.data(), text.size());
  while (reader.NextKeywordLine()) ++counts[std::string(reader.Keyword())];
  return counts;
}

// The "*MESH_NUMFACES" of each "*GEOMOBJECT", in order (objects without one: 0).
std::vector<int> DeclaredFaces(const std::string& ase) {
  std::vector<int> faces;
  formats::LineReader reader(ase.data(), ase.size());
  while (reader.NextKeywordLine()) {
    if (reader.Is("*GEOMOBJECT")) faces.push_back(0);
    if (reader.Is("*MESH_NUMFACES") && !faces.empty()) faces.back() = std::stoi(std::string(formats::WordAt(reader.Line(), 1)));
  }
  return faces;
}

struct Conversion {
  MeshRun mesh;
  std::string physique, motion;
};

Conversion ConvertAll(const std::string& ase) {
  Conversion c;
  formats::LineReader meshReader(ase.data(), ase.size());
  c.mesh = ConvertMeshStream(meshReader);
  {
    formats::LineReader reader(ase.data(), ase.size());
    TextSink sink(&c.physique);
    StreamPhysiqueData(reader, sink);
  }
  {
    formats::LineReader reader(ase.data(), ase.size());
    TextSink sink(&c.motion);
    StreamMotionData(reader, sink);
  }
  return c;
}

void CheckModelFilesLoad(const std::string& ase, int files, const std::string& label) {
  std::vector<int> declared = DeclaredFaces(ase);
  ASSERT_EQ(static_cast<int>(declared.size()), files) << label;
  for (int i = 0; i < files; ++i) {
    std::string name = std::to_string(i) + ".t3m";
    std::vector<std::string> errors;
    LoadLog log{&errors, [](void* context, const char* text) { static_cast<std::vector<std::string>*>(context)->push_back(text); }};
    MeshObject mesh;
    LoadModelFile(name.c_str(), mesh, log);
    EXPECT_TRUE(errors.empty()) << label << " " << name << ": " << (errors.empty() ? "" : errors[0]);
    EXPECT_EQ(mesh.FaceCount(), declared[i]) << label << " " << name;
    EXPECT_EQ(mesh.drawRecord.vertexCount, 3 * declared[i]) << label << " " << name;
  }
}

TEST(RealFiles, EveryExportConvertsLineForLine) {
  const char* names[] = {"CameraRollAnim.ase", "CameraRollAnimWithChildObject.ase", "InvalidUVIndex.ase",
                         "MotionCaptureROM.ase", "Rifle.ase", "Rifle2.ase", "RotatingCube.ASE",
                         "TargetCameraAnim.ase", "ThreeCubesGreen.ASE", "UVTransform_Normal.ASE",
                         "UVTransform_ScaleUV2x.ASE", "anim.ASE", "anim2.ASE", "cafu_TonneTest_LoD1.ase",
                         "cafu_barrel1_a.ase", "cafu_box1a.ase", "cafu_crate2.ase", "cafu_lamp1.ase", "empty.ase"};
  auto root = std::filesystem::current_path();
  int checked = 0;
  for (const char* name : names) {
    std::string path = testing::SharedData(root, std::string("ase/") + name);
    if (!std::filesystem::exists(path)) continue;
    ++checked;
    std::string ase = ReadAll(path);
    ScratchFolder folder;
    Conversion c = ConvertAll(ase);
    ASSERT_TRUE(c.mesh.ok) << name;
    auto in = KeywordCounts(ase);
    EXPECT_EQ(c.mesh.filesWritten, in["*GEOMOBJECT"]) << name;
    // Every object's lines: concatenated model files against the source.
    std::string models;
    for (int i = 0; i < c.mesh.filesWritten; ++i) models += ReadAll(std::to_string(i) + ".t3m");
    auto out = KeywordCounts(models);
    EXPECT_EQ(out["VERTEX"], in["*MESH_VERTEX"]) << name;
    EXPECT_EQ(out["FACE"], in["*MESH_FACE"]) << name;
    EXPECT_EQ(out["TVERTEX"], in["*MESH_TVERT"]) << name;
    EXPECT_EQ(out["TFACE"], in["*MESH_TFACE"]) << name;
    EXPECT_EQ(out["End"], c.mesh.filesWritten) << name;
    auto physique = KeywordCounts(c.physique);
    EXPECT_EQ(physique["NODE_PR"], in["*TM_ROW0"]) << name;
    EXPECT_EQ(physique["TM_ROW3"], in["*TM_ROW3"]) << name;
    EXPECT_EQ(physique["FirstKeyNumber"], in["*SCENE_FIRSTFRAME"]) << name;
    auto motion = KeywordCounts(c.motion);
    // Samples of helpers inside a node's section write nothing, so fewer may
    // come out; none at all from an export that has some is a lost motion.
    EXPECT_LE(motion["P"], in["*CONTROL_POS_SAMPLE"]) << name;
    EXPECT_LE(motion["R"], in["*CONTROL_ROT_SAMPLE"]) << name;
    EXPECT_EQ(motion["P"] > 0, in["*CONTROL_POS_SAMPLE"] > 0) << name;
    EXPECT_EQ(motion["R"] > 0, in["*CONTROL_ROT_SAMPLE"] > 0) << name;
    EXPECT_EQ(c.motion.substr(c.motion.size() - 3), "End") << name;
    CheckModelFilesLoad(ase, c.mesh.filesWritten, name);
  }
  if (checked == 0) GTEST_SKIP() << "SKIPPED: no shared test data at ../shared/testdata";
}

TEST(RealFiles, MotionCaptureBipedKeepsEverySample) {
  std::string path = testing::SharedData(std::filesystem::current_path(), "ase/MotionCaptureROM.ase");
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "SKIPPED: no shared test data at ../shared/testdata";
  std::string ase = ReadAll(path);
  ScratchFolder folder;
  Conversion c = ConvertAll(ase);
  auto in = KeywordCounts(ase);
  auto motion = KeywordCounts(c.motion);
  // Every sample sits in an animation section of a node object.
  EXPECT_EQ(motion["P"], in["*CONTROL_POS_SAMPLE"]);
  EXPECT_EQ(motion["R"], in["*CONTROL_ROT_SAMPLE"]);
  // Helper objects after an animated node lie inside its section: their rows write nothing.
  EXPECT_LT(motion["PHYID"], in["*TM_ROW0"]);
  EXPECT_GT(motion["PHYID"], 20);
  EXPECT_NE(c.physique.find("KeyNumber 1357\n"), std::string::npos);  // frames 0 to 1358
  EXPECT_EQ(c.motion.substr(0, 8), "PHYID 1\n");
}

TEST(RealFiles, Utf16ExportsConvertWithoutHarm) {
  for (const char* name : {"ase/ThreeCubesGreen_UTF16LE.ASE", "ase/ThreeCubesGreen_UTF16BE.ASE"}) {
    std::string path = testing::SharedData(std::filesystem::current_path(), name);
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "SKIPPED: no " << name << " in ../shared/testdata";
    ScratchFolder folder;
    Conversion c = ConvertAll(ReadAll(path));
    EXPECT_TRUE(c.mesh.ok);
    EXPECT_EQ(c.mesh.filesWritten, 0) << name;  // no keyword matches in 16-bit text
    EXPECT_EQ(c.motion, "End");
  }
}

TEST(GeneratedBiped, PhysiqueBlockAndSamplesConvert) {
  ScratchFolder folder;
  std::FILE* file = std::fopen("biped.ase", "w");
  ASSERT_NE(file, nullptr);
  {
    testing::AseWriter ase(file);
    ase.Header(0, 50);
    ase.Biped(50);
    ase.MeshObject("Skin", 12000, true);
  }
  std::fclose(file);
  std::string text = ReadAll("biped.ase");
  Conversion c = ConvertAll(text);
  ASSERT_TRUE(c.mesh.ok);
  EXPECT_EQ(c.mesh.filesWritten, 25);
  auto physique = KeywordCounts(c.physique);
  EXPECT_EQ(physique["NODE_PR"], 25);
  EXPECT_EQ(physique["Number"], 1);
  EXPECT_EQ(physique["RIGIDTYPE"], 12000);
  EXPECT_NE(c.physique.find("KeyNumber 49\n"), std::string::npos);
  // The bone ids of the table, with their parents.
  for (const auto& node : testing::kBiped) {
    int parent = 0;
    for (const auto& p : testing::kBiped)
      if (std::string(p.name) == node.parent) parent = p.id;
    std::string group = "NODE_PR " + std::to_string(node.id) + " " + std::to_string(parent ? parent : node.id) + "\n";
    EXPECT_NE(c.physique.find(group), std::string::npos) << node.name;
  }
  EXPECT_NE(c.physique.find("RIGIDTYPE 0 24\n"), std::string::npos);  // "Bip01" alone: one word
  EXPECT_NE(c.physique.find("RIGIDTYPE 7 8\n"), std::string::npos);  // Bip01 R Thigh
  EXPECT_NE(c.physique.find("RIGIDTYPE 10023 16\n"), std::string::npos);
  auto motion = KeywordCounts(c.motion);
  EXPECT_EQ(motion["P"], 24 * 50);
  EXPECT_EQ(motion["R"], 24 * 50);
  EXPECT_NE(c.motion.find("P 21 49 "), std::string::npos);
  // Faces with corners of five digits glued to their labels kept their corners.
  std::string skin = ReadAll("24.t3m");
  EXPECT_NE(skin.find("FACE 19800 10000 10100 10001\n"), std::string::npos);
  CheckModelFilesLoad(text, 25, "generated biped");
}

}  // namespace
}  // namespace tarn::tool
