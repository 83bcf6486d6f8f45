// The character export's own parts: the meaning of the ASE's transforms and
// samples in glTF's axes, and what the export takes from the ASE beside the
// converters' files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "export/CharacterAse.h"
#include "export/CharacterExport.h"
#include "export/CharacterPose.h"
#include "formats/LineReader.h"

namespace tarn::exports {
namespace {

// The ASE rows of a node turned by `angle` about `axis` as the exporter
// writes it (clockwise seen from the axis' tip), standing at `at`.
void AseRows(const double axis[3], double angle, const double at[3], float rows[4][3]) {
  // Rodrigues for -angle, column vectors; the ASE's rows are the columns.
  const double c = std::cos(-angle), s = std::sin(-angle), t = 1 - c;
  const double x = axis[0], y = axis[1], z = axis[2];
  const double m[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                          {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                          {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) rows[j][i] = static_cast<float>(m[i][j]);
  for (int i = 0; i < 3; ++i) rows[3][i] = static_cast<float>(at[i]);
}

double QuatGap(const Quat& a, const Quat& b) {  // 0 for the same rotation
  double d = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]);
  return 1 - std::min(1.0, d);
}

// A node's first rotation sample is its whole rotation: the sample and the
// node transform it was exported with give the same rotation, whatever the
// axis (the engine's axes exchanged, the angle's sense).
TEST(CharacterPose, FirstRotationSampleIsTheNodeTransform) {
  const struct {
    double axis[3], angle;
  } cases[] = {{{0, 0, 1}, 1.541}, {{1, 0, 0}, 0.5}, {{0, 1, 0}, -2.0}, {{0.6, 0, 0.8}, 3.0}, {{0, 0, 1}, 0}};
  const double at[3] = {1, 2, 3};
  for (const auto& c : cases) {
    float rows[4][3];
    AseRows(c.axis, c.angle, at, rows);
    Affine node;
    ASSERT_TRUE(NodeTransform(rows, node));
    Trs trs = Decompose(node);
    Quat sample = MakeRotationTrack({{0, {float(c.axis[0]), float(c.axis[1]), float(c.axis[2])}, float(c.angle)}})
                      .values[0];
    EXPECT_LT(QuatGap(trs.rotation, sample), 1e-6) << c.axis[0] << " " << c.axis[1] << " " << c.axis[2];
    EXPECT_NEAR(trs.translation[0], 1, 1e-6);
    EXPECT_NEAR(trs.translation[1], 3, 1e-6);  // the ASE's z is up
    EXPECT_NEAR(trs.translation[2], -2, 1e-6);
    EXPECT_NEAR(trs.scale[0] * trs.scale[1] * trs.scale[2], 1, 1e-5);
  }
}

// Later samples are changes applied after the rotation so far: two turns
// about different axes do not commute, so the order shows.
TEST(CharacterPose, LaterRotationSamplesAreChangesAfterThePrevious) {
  RotationTrack track = MakeRotationTrack(
      {{0, {1, 0, 0}, 0.7f}, {1, {0, 0, 1}, 0.4f}, {1, {0, 0, 1}, 0.1f}, {3, {0, 0, 0}, 0.0f}});
  ASSERT_EQ(track.keys, (std::vector<int>{0, 1, 3}));  // equal keys: the last stands, both count
  Quat first = AseRotation(1, 0, 0, 0.7f), change = AseRotation(0, 0, 1, 0.5f);
  EXPECT_LT(QuatGap(track.values[1], Multiply(change, first)), 1e-9);
  EXPECT_GT(QuatGap(track.values[1], Multiply(first, change)), 1e-3);
  EXPECT_LT(QuatGap(track.values[2], track.values[1]), 1e-12);  // a zero axis turns nothing
  for (std::size_t i = 1; i < track.values.size(); ++i) {
    const Quat& a = track.values[i - 1];
    const Quat& b = track.values[i];
    EXPECT_GE(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3], 0);  // the short way
  }
}

TEST(CharacterPose, TransformsRoundTripAndInvert) {
  const double axis[3] = {0.48, 0.6, 0.64}, at[3] = {5, -7, 11};
  float rows[4][3];
  AseRows(axis, 2.2, at, rows);
  // A mirrored node: its x row negated.
  float mirrored[4][3];
  std::copy(&rows[0][0], &rows[0][0] + 12, &mirrored[0][0]);
  for (float& v : mirrored[0]) v = -v;
  for (auto* r : {rows, mirrored}) {
    Affine a, inverse;
    ASSERT_TRUE(NodeTransform(r, a));
    Affine back = FromTrs(Decompose(a));
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(back.r[i], a.r[i], 1e-6);
    ASSERT_TRUE(Invert(a, inverse));
    Affine one = Multiply(inverse, a);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(one.r[i], i % 4 == 0 ? 1 : 0, 1e-9);
    for (double t : one.t) EXPECT_NEAR(t, 0, 1e-9);
  }
  EXPECT_LT(Decompose([&] { Affine a; NodeTransform(mirrored, a); return a; }()).scale[0], 0);
  float zero[4][3] = {};
  Affine z;
  EXPECT_FALSE(NodeTransform(zero, z));
  EXPECT_EQ(z.r[0], 1);
}

TEST(CharacterPose, PositionsTurnIntoGltfAxes) {
  PositionTrack t = MakePositionTrack({{0, {1, 2, 3}}, {2, {4, 5, 6}}, {2, {7, 8, 9}}});
  ASSERT_EQ(t.keys, (std::vector<int>{0, 2}));
  EXPECT_EQ(t.values[0], (Vec3{1, 3, -2}));
  EXPECT_EQ(t.values[1], (Vec3{7, 9, -8}));
}

TEST(CharacterPose, AlphaModeFollowsTheEnginesFourBits) {
  const struct {
    std::vector<std::uint8_t> alphas;
    CharacterPicture::Alpha mode;
  } cases[] = {{{255, 240}, CharacterPicture::Alpha::kOpaque},
               {{255, 0, 15}, CharacterPicture::Alpha::kMask},
               {{255, 16}, CharacterPicture::Alpha::kBlend},
               {{128}, CharacterPicture::Alpha::kBlend}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> rgba;
    for (std::uint8_t a : c.alphas) rgba.insert(rgba.end(), {9, 9, 9, a});
    EXPECT_EQ(AlphaModeOf(rgba), c.mode) << int(c.alphas.back());
  }
}

AseCharacter Read(const std::string& text, int skinNode) {
  formats::LineReader in(text.data(), text.size());
  AseCharacter out;
  ReadAseCharacter(in, text.size(), skinNode, out);
  return out;
}

// A biped's ASE as the exporter writes it, with what the export must not
// trip over: a material whose brace is its third word, a helper after an
// animated object, a two-word physique name, CRLF ends, hostile counts.
TEST(CharacterAse, NodesMotionBlocksAndTheSkin) {
  const std::string ase =
      "*MATERIAL_LIST {\r\n\t*MATERIAL_COUNT 2\r\n\t*MATERIAL 0 {\r\n\t\t*MAP_DIFFUSE {\r\n"
      "\t\t\t*BITMAP \"maps\\skin.bmp\"\r\n\t\t}\r\n\t}\r\n\t*MATERIAL 1 {\r\n\t\t*BITMAP \"b.bmp\"\r\n\t}\r\n"
      "\t*MATERIAL 7 {\r\n\t}\r\n}\r\n"
      "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Bip01\"\n\t\t*TM_ROW0 1 0 0\n\t}\n"
      "\t*TM_ANIMATION {\n\t\t*CONTROL_POS_TRACK {\n\t\t\t*CONTROL_POS_SAMPLE 0 1 2 3\n\t\t}\n\t}\n}\n"
      "*HELPEROBJECT {\n\t*NODE_NAME \"Bip01 Nub\"\n\t*NODE_PARENT \"Bip01\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n\t}\n}\n"
      "*GEOMOBJECT {\n\t*NODE_NAME \"Body mesh\"\n\t*NODE_PARENT \"Bip01\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n\t}\n"
      "\t*MESH {\n\t\t*MESH_NUMVERTEX 3\n\t\t*MESH_NUMFACES 2147483647\n\t\t*MESH_VERTEX_LIST {\n"
      "\t\t\t*MESH_VERTEX 0 1 2 3\n\t\t\t*MESH_VERTEX 2 4 5 6\n\t\t\t*MESH_VERTEX 3 9 9 9\n"
      "\t\t\t*MESH_VERTEX -1 9 9 9\n\t\t}\n"
      "\t\t*MESH_FACE_LIST {\n\t\t\t*MESH_FACE 1: A: 0 B: 1 C: 2 AB: 1\n\t\t\t*MESH_FACE -5: A: 0 B: 1 C: 2\n\t\t}\n"
      "\t\t*MESH_NUMTVERTEX 1\n\t\t*MESH_TVERT 0 0.25 0.75 0\n\t}\n"
      "\t*PHYSIQUE {\n\t\t*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE 2\t\"Bip01 L Thigh\"\n"
      "\t\t*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE 0 \"Bip01\"\n\t}\n\t*MATERIAL_REF 1\n}\n";
  AseCharacter a = Read(ase, 2);
  ASSERT_EQ(a.nodes.size(), 3u);
  EXPECT_EQ(a.nodes[0].name, "Bip01");
  EXPECT_FALSE(a.nodes[0].hasParent);
  EXPECT_EQ(a.nodes[1].name, "Bip01 Nub");
  EXPECT_EQ(a.nodes[1].parent, "Bip01");
  EXPECT_EQ(a.nodes[2].name, "Body mesh");
  // The helper's transform stands in the animation section of the object
  // before it: the motion writer lists no node for it.
  EXPECT_EQ(a.nodes[0].motionBlock, 0);
  EXPECT_EQ(a.nodes[1].motionBlock, -1);
  EXPECT_EQ(a.nodes[2].motionBlock, 1);
  EXPECT_EQ(a.motionBlocks, 2);
  ASSERT_EQ(a.materials.size(), 2u);  // index 7 is beyond the count
  EXPECT_EQ(a.materials[0].bitmap, "maps\\skin.bmp");
  EXPECT_EQ(a.materials[1].bitmap, "b.bmp");
  const AseSkin& s = a.skin;
  ASSERT_TRUE(s.present);
  EXPECT_EQ(s.name, "Body mesh");
  EXPECT_EQ(s.materialRef, 1);
  ASSERT_EQ(s.positions.size(), 3u);  // index 3 is beyond the count of 3
  EXPECT_EQ(s.positions[2], (std::array<float, 3>{4, 5, 6}));
  EXPECT_EQ(s.positions[1], (std::array<float, 3>{0, 0, 0}));
  ASSERT_EQ(s.faces.size(), 2u);
  EXPECT_FALSE(s.faces[0].present);
  EXPECT_TRUE(s.faces[1].present);
  EXPECT_EQ(s.faces[1].c, 2);
  EXPECT_TRUE(s.texVertices.size() == 1 && s.texVertices[0][1] == 0.75f);
  ASSERT_EQ(s.rigid.size(), 2u);
  EXPECT_EQ(s.rigid[0].vertex, 2);
  EXPECT_EQ(s.names[static_cast<std::size_t>(s.rigid[0].name)], "Bip01 L Thigh");
  EXPECT_EQ(s.names[static_cast<std::size_t>(s.rigid[1].name)], "Bip01");

  // Another node as the skin: no mesh is kept, the nodes are the same.
  AseCharacter none = Read(ase, 0);
  EXPECT_FALSE(none.skin.present);
  EXPECT_TRUE(none.skin.rigid.empty());
  EXPECT_EQ(none.nodes.size(), 3u);
}

TEST(CharacterAse, QuotedNamesKeepEveryWord) {
  EXPECT_EQ(QuotedName(" \"Bip01 L Finger 0\"  "), "Bip01 L Finger 0");
  EXPECT_EQ(QuotedName("\"\""), "");
  EXPECT_EQ(QuotedName("\""), "\"");
  EXPECT_EQ(QuotedName("plain"), "plain");
}

}  // namespace
}  // namespace tarn::exports

namespace tarn::exports {
namespace {

// A small character in a folder of its own: a root, a pelvis, and a
// three-vertex mesh called "Body" (a one-word name of 4 letters: the id 1,
// which the root has too), its last vertex bound to "Bip01" by name.
class CharacterFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarn-character-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    Write("c.chr", "c.ase\nc.mpd\nc.mca\nc.bmp");
    // 1 x 1, 24 bits.
    const unsigned char bmp[58] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                                   0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0, 0, 10, 20, 30, 0};
    Write("c.bmp", std::string(reinterpret_cast<const char*>(bmp), sizeof bmp));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  static std::string Node(const char* name, const char* parent, const char* z, bool animated) {
    std::string s = std::string("*GEOMOBJECT {\n*NODE_NAME \"") + name + "\"\n";
    if (parent) s += std::string("*NODE_PARENT \"") + parent + "\"\n";
    s += std::string("*NODE_TM {\n*TM_ROW0 1 0 0\n*TM_ROW1 0 1 0\n*TM_ROW2 0 0 1\n*TM_ROW3 0 0 ") + z + "\n}\n";
    if (animated) s += "*TM_ANIMATION {\n*CONTROL_POS_SAMPLE 0 0 0 5\n}\n";
    return s;
  }
  std::string Ase(bool withPhysique) const {
    return Node("Bip01", nullptr, "40", true) + "}\n" + Node("Bip01 Pelvis", "Bip01", "35", false) + "}\n" +
           Node("Body", nullptr, "0", false) +
           "*MESH {\n*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 1 1 0 0\n"
           "*MESH_VERTEX 2 0 1 0\n*MESH_FACE 0: A: 0 B: 1 C: 2\n}\n" +
           (withPhysique ? "*PHYSIQUE {\n*PHYSIQUE_NUMVERTEXASSIGNMENT 3\n"
                           "*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE 0 \"Bip01 Pelvis\"\n"
                           "*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE 2 \"Bip01\"\n}\n"
                         : "") +
           "}\n";
  }
  static std::string Group(int id, int parent, const char* z) {
    return "NODE_PR " + std::to_string(id) + " " + std::to_string(parent) + "\nTM_ROW0 " + std::to_string(id) +
           " 1.0000 0.0000 0.0000\nTM_ROW1 " + std::to_string(id) + " 0.0000 1.0000 0.0000\nTM_ROW2 " +
           std::to_string(id) + " 0.0000 0.0000 1.0000\nTM_ROW3 " + std::to_string(id) + " 0.0000 0.0000 " + z + "\n";
  }
  std::filesystem::path dir_;
};

TEST_F(CharacterFolder, RefusesFilesThatDisagreeAndResolvesSharedIdsByName) {
  const std::string mpd = "FirstKeyNumber 0\nKeyNumber 9\n" + Group(1, 1, "40.0000") + Group(2, 1, "35.0000") +
                          Group(1, 1, "0.0000");
  const std::string rigid = "Number 3\nRIGIDTYPE 0 2\nRIGIDTYPE 2 1\n";
  const std::string mca = "PHYID 1\nP 1 0 0.0000 0.0000 5.0000\nPHYID 2\nPHYID 1\nEnd";
  const struct {
    const char* what;
    std::string ase, mpd, mca;
    const char* problem;  // nullptr: gathered
  } cases[] = {
      {"agreeing files", Ase(true), mpd + rigid, mca, nullptr},
      {"no physique object", Ase(false), mpd, mca, nullptr},
      {"a vertex beyond the mesh", Ase(true), mpd + "Number 3\nRIGIDTYPE 0 2\nRIGIDTYPE 7 1\n", mca, "vertex 7"},
      {"a motion file cut short", Ase(true), mpd + rigid, "PHYID 1\nPHYID 2\nPHYID 1\n", "End"},
      {"a PHYID the physique lacks", Ase(true), mpd + rigid, "PHYID 1\nPHYID 2\nPHYID 9\nEnd", "PHYID 9"},
      {"another export's nodes", Ase(true) + Node("Extra", nullptr, "1", false) + "}\n", mpd + rigid, mca,
       "NODE_PR groups where the ASE"},
      {"motion in other places", Ase(true), mpd + rigid, "PHYID 2\nPHYID 1\nPHYID 1\nEnd", "PHYID 2 where"},
  };
  for (const auto& c : cases) {
    Write("c.ase", c.ase);
    Write("c.mpd", c.mpd);
    Write("c.mca", c.mca);
    CharacterScene scene;
    tool::Findings problems;
    bool ok = GatherCharacter((dir_ / "c.chr").string(), scene, problems);
    // The file is whole or not there at all.
    const std::filesystem::path glb = dir_ / "c.glb";
    std::filesystem::remove(glb);
    CharacterGltfRun run = ExportCharacterGltf((dir_ / "c.chr").string(), glb.string());
    EXPECT_EQ(run.ok, ok) << c.what << ": " << run.error;
    EXPECT_EQ(run.refused, !ok) << c.what;
    EXPECT_EQ(std::filesystem::exists(glb), ok) << c.what;
    if (ok) {
      std::ifstream in(glb, std::ios::binary);
      char magic[4] = {};
      in.read(magic, 4);
      EXPECT_EQ(std::string(magic, 4), "glTF");
      EXPECT_EQ(static_cast<long long>(std::filesystem::file_size(glb)), run.bytes);
    }
    std::string all;
    for (const auto& p : problems) all += tool::FormatFinding(p);
    if (c.problem == nullptr) {
      ASSERT_TRUE(ok) << c.what << ": " << all;
      ASSERT_EQ(scene.joints.size(), 3u) << c.what;
      EXPECT_EQ(scene.joints[1].name, "Bip01 Pelvis");
      EXPECT_EQ(scene.joints[1].parent, 0);  // id 1 is shared: the ASE's name chose
      EXPECT_EQ(scene.joints[2].parent, -1);
      EXPECT_NEAR(scene.joints[1].rest.translation[1], -5, 1e-5);  // 35 under 40, z up
      EXPECT_TRUE(scene.joints[0].animated && !scene.joints[1].animated);
      EXPECT_EQ(scene.hasMesh, c.ase.find("*PHYSIQUE") != std::string::npos) << c.what;
      if (scene.hasMesh) {
        // Vertex 0 to the pelvis by its unique id, 2 to the root by name,
        // 1 (no assignment) to the mesh's own node, counted.
        ASSERT_EQ(scene.mesh.joints.size(), 12u);
        EXPECT_EQ(scene.mesh.indices, (std::vector<std::uint32_t>{0, 1, 2}));
        EXPECT_EQ(scene.mesh.joints[0], 1);
        EXPECT_EQ(scene.mesh.joints[4], 2);
        EXPECT_EQ(scene.mesh.joints[8], 0);
        EXPECT_EQ(scene.mesh.positions[7], 0.0f);   // ASE (0, 1, 0): y becomes -z
        EXPECT_EQ(scene.mesh.positions[8], -1.0f);
        EXPECT_TRUE(scene.picture.present && scene.picture.rgba[0] == 30 && scene.picture.rgba[3] == 255);
      }
      const char* warning = scene.hasMesh ? "1 vertices have no rigid assignment" : "has no object with a physique";
      bool warned = false;
      for (const auto& w : scene.warnings) warned = warned || w.find(warning) != std::string::npos;
      EXPECT_TRUE(warned) << c.what << ": " << warning;
    } else {
      EXPECT_FALSE(ok) << c.what;
      EXPECT_NE(all.find(c.problem), std::string::npos) << c.what << ": " << all;
    }
  }
  // An output named like one of the character's own files is refused, and
  // the refusal says what the file may be.
  Write("c.mca", mca);
  auto contents = [&](const char* name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string mpdBefore = contents("c.mpd");
  CharacterGltfRun run = ExportCharacterGltf((dir_ / "c.chr").string(), (dir_ / "c.mpd").string());
  EXPECT_FALSE(run.ok);
  EXPECT_NE(run.error.find("not written over (it may be one of the character's files)"), std::string::npos) << run.error;
  EXPECT_EQ(contents("c.mpd"), mpdBefore);
}

}  // namespace
}  // namespace tarn::exports
