// The physique and motion data writers, the character mesh and the
// character file, and RunConversion's files and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "formats/LineReader.h"
#include "platform/codepage/Cp949.h"
#include "tests/tool/ToolTestSupport.h"
#include "tool/CharacterConverter.h"
#include "tool/MeshConverter.h"

namespace tarn::tool {
namespace {

using testing::Exists;
using testing::ReadAll;
using testing::ScratchFolder;
using testing::ToolTestHost;
using testing::WriteAll;

std::string Physique(const std::string& ase) {
  std::string out;
  {
    formats::LineReader reader(ase.data(), ase.size());
    TextSink sink(&out);
    StreamPhysiqueData(reader, sink);
  }
  return out;
}
std::string Motion(const std::string& ase) {
  std::string out;
  {
    formats::LineReader reader(ase.data(), ase.size());
    TextSink sink(&out);
    StreamMotionData(reader, sink);
  }
  return out;
}

const char kSkeleton[] =
    "*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n}\n"
    "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Bip01\"\n"
    "\t\t*TM_ROW0 0.0298\t-0.9996\t-0.0029\n\t\t*TM_ROW1 0.9996\t0.0298\t-0.00001\n"
    "\t\t*TM_ROW2 0.0001\t-0.0029\t1.0000\n\t\t*TM_ROW3 0.3222\t19.4977\t34.0762\n\t}\n}\n"
    "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01 L Thigh\"\n\t*NODE_PARENT \"Bip01 Pelvis\"\n\t*NODE_TM {\n"
    "\t\t*NODE_NAME \"Bip01 L Thigh\"\n\t\t*TM_ROW0 1 0 0\n\t\t*TM_ROW1 0 1 0\n\t\t*TM_ROW2 0 0 1\n"
    "\t\t*TM_ROW3 -1.23456 2 3\n\t}\n}\n"
    "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01 Footsteps\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n\t}\n}\n";

// Every stream reports its progress about every 4 MB and, last, the whole
// input, so that a progress line ends at 100% (it stopped at the last step).
TEST(Progress, EveryStreamReportsAllOfItsInputLast) {
  std::string ase;
  while (ase.size() < (std::size_t{9} << 20)) ase += "*SCENE_FIRSTFRAME 0\n*NODE_NAME \"Bip01 Head\"\n";
  using Stream = void (*)(formats::LineReader&, const ProgressHook&);
  const Stream streams[] = {
      [](formats::LineReader& in, const ProgressHook& p) { ConvertMeshStream(in, p); },
      [](formats::LineReader& in, const ProgressHook& p) {
        std::string out;
        TextSink sink(&out);
        StreamPhysiqueData(in, sink, p);
      },
      [](formats::LineReader& in, const ProgressHook& p) {
        std::string out;
        TextSink sink(&out);
        StreamMotionData(in, sink, p);
      },
      [](formats::LineReader& in, const ProgressHook& p) { StreamCharacterMesh(in, p); },
  };
  for (Stream stream : streams) {
    std::vector<std::size_t> reports;
    formats::LineReader reader(ase.data(), ase.size());
    stream(reader, [&](std::size_t done) { reports.push_back(done); });
    ASSERT_GE(reports.size(), 3u);  // two steps of 4 MB, then the end
    EXPECT_EQ(reports.back(), ase.size());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  }
}

TEST(PhysiqueData, WritesFramesNodesAndMatrices) {
  EXPECT_EQ(Physique(kSkeleton),
            "FirstKeyNumber 0\n"
            "KeyNumber 99\n"
            "NODE_PR 1 1\n"
            "TM_ROW0 1 0.0298 -0.9996 -0.0029\n"
            "TM_ROW1 1 0.9996 0.0298 -0.0000\n"
            "TM_ROW2 1 0.0001 -0.0029 1.0000\n"
            "TM_ROW3 1 0.3222 19.4977 34.0762\n"
            "NODE_PR 11 2\n"
            "TM_ROW0 11 1.0000 0.0000 0.0000\n"
            "TM_ROW1 11 0.0000 1.0000 0.0000\n"
            "TM_ROW2 11 0.0000 0.0000 1.0000\n"
            "TM_ROW3 11 -1.2346 2.0000 3.0000\n"
            "NODE_PR 24 24\n"  // the parent was reset by the last matrix's first row
            "TM_ROW0 24 1.0000 0.0000 0.0000\n");
}

TEST(PhysiqueData, WritesRigidAssignmentsAndSkipsBlendedOnes) {
  std::string ase = "*GEOMOBJECT {\n\t*NODE_NAME \"Skin\"\n\t*MATERIAL_REF 0\n\t*PHYSIQUE {\n"
                    "\t\t*PHYSIQUE_NUMVERTEXASSIGNMENT 3\n"
                    "\t\t*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE\t0\t\"Bip01 Head\"\n"
                    "\t\t*PHYSIQUE_VERTEXASSIGNMENT_BLENDED_RIGIDTYPE\t1\t\"Bip01 Neck\"\n"
                    "\t\t*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE\t2\t\"Bip01\"\n"
                    "\t}\n\t*TM_ROW0 1 1 1\n}\n";
  EXPECT_EQ(Physique(ase),
            "Number 3\nRIGIDTYPE 0 7\nRIGIDTYPE 2 24\n"
            "NODE_PR 24 24\nTM_ROW0 24 1.0000 1.0000 1.0000\n");  // the physique line set the current id
}

TEST(PhysiqueData, SceneLinesAndMissingNumbers) {
  EXPECT_EQ(Physique(""), "");
  EXPECT_EQ(Physique("*SCENE_LASTFRAME 10\n"), "KeyNumber 9\n");
  EXPECT_EQ(Physique("*SCENE_FIRSTFRAME 5\n*SCENE_LASTFRAME 3\n"), "FirstKeyNumber 5\nKeyNumber -3\n");
  EXPECT_EQ(Physique("*SCENE_FIRSTFRAME -2147483648\n*SCENE_LASTFRAME 2147483647\n"),
            "FirstKeyNumber -2147483648\nKeyNumber -2\n");  // wraps as 32 bits
  // A row before any node name is written with the bone id 0; each row keeps its own numbers.
  EXPECT_EQ(Physique("*TM_ROW1 1 2 3\n*TM_ROW2 4 5 6\n*TM_ROW1\n*TM_ROW2 7\n"),
            "TM_ROW1 0 1.0000 2.0000 3.0000\nTM_ROW2 0 4.0000 5.0000 6.0000\n"
            "TM_ROW1 0 1.0000 2.0000 3.0000\nTM_ROW2 0 7.0000 5.0000 6.0000\n");
}

const char kAnimated[] =
    "*SCENE {\n\t*SCENE_FIRSTFRAME 10\n}\n"
    "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n\t}\n"
    "\t*TM_ANIMATION {\n\t\t*NODE_NAME \"Bip01\"\n\t\t*CONTROL_POS_TRACK {\n"
    "\t\t\t*CONTROL_POS_SAMPLE 1600\t0.3222\t19.4977\t34.0762\n"
    "\t\t\t*CONTROL_POS_SAMPLE 319\t1\t2\t3\n"
    "\t\t\t*CONTROL_POS_SAMPLE -100\t1\t2\t3\n"
    "\t\t}\n\t\t*CONTROL_ROT_TRACK {\n"
    "\t\t\t*CONTROL_ROT_SAMPLE 3200\t-0.0014\t-0.0015\t1.0000\t1.5410\n"
    "\t\t}\n\t}\n}\n"
    "*HELPEROBJECT {\n\t*NODE_NAME \"Bip01 Head\"\n\t*TM_ROW0 1 0 0\n"
    "\t*CONTROL_POS_SAMPLE 4800 5 5 5\n}\n"
    "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01 Pelvis\"\n\t*TM_ROW0 1 0 0\n\t*TM_ANIMATION {\n"
    "\t\t*CONTROL_POS_SAMPLE 160 1 1 1\n\t}\n}\n";

TEST(MotionData, KeysCountFramesFromTheFirstFrame) {
  EXPECT_EQ(Motion(kAnimated),
            "PHYID 1\n"
            "P 1 0 0.3222 19.4977 34.0762\n"  // 1600 / 160 - 10
            "P 1 -9 1.0000 2.0000 3.0000\n"   // 319 falls to frame 1
            "P 1 -10 1.0000 2.0000 3.0000\n"  // -100 truncates to frame 0
            "R 1 10 -0.0014 -0.0015 1.0000 1.5410\n"
            // The helper is inside Bip01's section: no name, no PHYID, its sample under id 1.
            "P 1 20 5.0000 5.0000 5.0000\n"
            // The "*GEOMOBJECT" line ended the section and matched nothing else.
            "PHYID 2\n"
            "P 2 -9 1.0000 1.0000 1.0000\n"
            "End");
}

TEST(MotionData, FirstFrameZeroAndEmptyInputs) {
  EXPECT_EQ(Motion("*TM_ANIMATION {\n*CONTROL_POS_SAMPLE 319 1 2 3\n*CONTROL_POS_SAMPLE -100 1 2 3\n"),
            "P 0 1 1.0000 2.0000 3.0000\nP 0 0 1.0000 2.0000 3.0000\nEnd");
  EXPECT_EQ(Motion(""), "End");
  EXPECT_EQ(Motion("*NODE_NAME \"Bip01 Head\"\n*TM_ROW0 1 2 3\n"), "PHYID 7\nEnd");
  // A sample line without numbers repeats the last one of its kind.
  EXPECT_EQ(Motion("*TM_ANIMATION {\n*CONTROL_ROT_SAMPLE 160 1 2 3 4\n*CONTROL_ROT_SAMPLE\n*CONTROL_POS_SAMPLE\n"),
            "R 0 1 1.0000 2.0000 3.0000 4.0000\nR 0 1 1.0000 2.0000 3.0000 4.0000\n"
            "P 0 0 0.0000 0.0000 0.0000\nEnd");
}

class RunConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { win32::SetHost(&host); }
  void TearDown() override { win32::SetHost(nullptr); }
  std::string BoxText(std::size_t i) const { return i < host.boxes.size() ? host.boxes[i].text : ""; }
  ScratchFolder folder;
  ToolTestHost host;
  CharacterConverter converter;
};

TEST_F(RunConversionTest, EmptyInputGivesEndEmptyAndEmpty) {
  WriteAll("in.ase", "");
  converter.SetInput("in.ase", folder / "in.ase");
  converter.RunConversion("a.mca", kMotionData);
  converter.RunConversion("p.mpd", kPhysiqueData);
  converter.RunConversion("m.mcm", kCharacterMesh);
  EXPECT_EQ(ReadAll("a.mca"), "End");
  EXPECT_EQ(ReadAll("p.mpd"), "");
  EXPECT_TRUE(Exists("m.mcm"));
  EXPECT_EQ(ReadAll("m.mcm"), "");
  ASSERT_EQ(host.boxes.size(), 3u);
  for (const auto& box : host.boxes) EXPECT_EQ(box.caption, "Edit Message");
  EXPECT_EQ(BoxText(0), "in.ase 파일을 a.mca 파일로 변환하는데 성공하였습니다.");
  EXPECT_EQ(BoxText(2), "in.ase 파일을 m.mcm 파일로 변환하는데 성공하였습니다.");
}

TEST_F(RunConversionTest, CharacterMeshEmptiesAnExistingFile) {
  WriteAll("in.ase", kSkeleton);
  WriteAll("old.mcm", "old contents");
  converter.SetInput("in.ase", folder / "in.ase");
  converter.RunConversion("old.mcm", kCharacterMesh);
  EXPECT_EQ(ReadAll("old.mcm"), "");
  EXPECT_TRUE(converter.LastSucceeded());
}

TEST_F(RunConversionTest, RefusesWithoutInputOrOntoTheInputItself) {
  converter.RunConversion("a.mca", kMotionData);
  EXPECT_FALSE(Exists("a.mca"));
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "먼저 ASE 파일을 불러오십시오.");
  EXPECT_NE(host.boxes[0].type & MB_ICONERROR, 0u);

  WriteAll("in.ase", kSkeleton);
  converter.SetInput("in.ase", folder / "in.ase");
  converter.RunConversion("in.ase", kPhysiqueData);
  EXPECT_EQ(ReadAll("in.ase"), kSkeleton);  // untouched
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_NE(host.boxes[1].text.find("in.ase"), std::string::npos);
  EXPECT_FALSE(converter.LastSucceeded());
}

TEST_F(RunConversionTest, MissingInputLeavesTheOldOutputAndNamesTheFile) {
  WriteAll("good.mpd", "a good file");
  converter.SetInput("gone.ase", folder / "gone.ase");
  converter.RunConversion("good.mpd", kPhysiqueData);
  EXPECT_EQ(ReadAll("good.mpd"), "a good file");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "gone.ase 파일을 열 수 없습니다: No such file or directory");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(RunConversionTest, UnwritableOutputIsReported) {
  WriteAll("in.ase", kSkeleton);
  converter.SetInput("in.ase", folder / "in.ase");
  converter.RunConversion("no/such/folder/x.mca", kMotionData);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_NE(host.boxes[0].text.find("no/such/folder/x.mca"), std::string::npos);
  EXPECT_FALSE(converter.LastSucceeded());
}

TEST(CharacterFile, FourNamesWithoutAFinalLineFeed) {
  ScratchFolder folder;
  std::string reason;
  ASSERT_TRUE(WriteCharacterFile("c.chr", "a.ase", "b.mpd", "c.mca", "d.bmp", &reason));
  EXPECT_EQ(ReadAll("c.chr"), "a.ase\nb.mpd\nc.mca\nd.bmp");
  EXPECT_FALSE(WriteCharacterFile("missing/c.chr", "a", "b", "c", "d", &reason));
  EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace tarn::tool
