// The character files read back: one table of inputs, clean and hostile,
// with the findings each must give (line and the words that say what), and
// nothing else; then what the records hold, for the export that reads them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/tool/ToolTestSupport.h"
#include "tool/CharacterFiles.h"

namespace tarn::tool {
namespace {

using testing::ScratchFolder;
using testing::WriteAll;

using K = FindingKind;
enum Kind { kMpd, kMca, kChr, kT3m, kMcm };

// "LINE: words": a finding at LINE whose text holds the words, and of the
// kind when one is given.
struct Want {
  Want(const char* text) : text(text) {}  // NOLINT: the table lists plain strings
  Want(const char* text, FindingKind kind) : text(text), kind(kind) {}
  std::string text;
  std::optional<FindingKind> kind;
};

struct Case {
  const char* label;
  Kind kind;
  std::string input;
  std::vector<Want> expected;
  // For .mpd: an ASE giving the mesh; for .mca: a .mpd giving frames and ids.
  std::string context = {};
  // The findings past `expected` are allowed (a long line's pieces).
  bool more = false;
};

std::string Node(int id, int parent) {
  const std::string n = " " + std::to_string(id) + " ";
  return "NODE_PR" + n + std::to_string(parent) + "\nTM_ROW0" + n + "1.0000 0.0000 0.0000\nTM_ROW1" + n +
         "0.0000 1.0000 0.0000\nTM_ROW2" + n + "0.0000 0.0000 1.0000\nTM_ROW3" + n + "0.0000 0.0000 0.0000\n";
}
// Lines 1-2 frames, 3-7 and 8-12 two nodes, 13 Number, 14-15 RIGIDTYPE.
const std::string kMpdClean =
    "FirstKeyNumber 0\nKeyNumber 3\n" + Node(1, 1) + Node(2, 1) + "Number 2\nRIGIDTYPE 0 2\nRIGIDTYPE 1 1\n";
const std::string kMcaClean = "PHYID 1\nP 1 0 1.0000 2.0000 3.0000\nR 1 0 0.0000 0.0000 1.0000 0.0000\n"
                              "P 1 4 1.0000 2.0000 3.0000\nPHYID 2\nEnd";
const std::string kT3mClean = "0.t3m\nPos 0.000000 0.000000 0.000000\nNumVertex 3\nNumFace 1\n"
                              "VERTEX 0 0.000000 0.000000 0.000000\nVERTEX 1 1.000000 0.000000 0.000000\n"
                              "VERTEX 2 0.000000 1.000000 0.000000\nFACE 0 0 1 2\nNumTVertex 1\n"
                              "TVERTEX 0 0.000000 0.000000 0.000000\nNumTFace 1\nTFACE 0 0 0 0\nMatID 0\nEnd\n";
std::string Crlf(std::string text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) text.insert(at, "\r");
  return text;
}
std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}
std::string Replace(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

constexpr char kGarbage[] = "\x7f" "ELF\x01\x02\0\0\n\xff\xfe\tz\n";

std::vector<Case> Cases() {
  const std::string longLine(100000, 'A');
  return {
      {"mpd as written", kMpd, kMpdClean, {}},
      {"mpd with CRLF", kMpd, Crlf(kMpdClean), {}},
      {"mpd empty", kMpd, "", {}},
      {"Number against RIGIDTYPE", kMpd, Replace(kMpdClean, "Number 2", "Number 3"),
       {{"13: Number 3 but 2 RIGIDTYPE lines follow", K::kBlendedVertices}}},
      {"vertex beyond Number", kMpd, Replace(kMpdClean, "RIGIDTYPE 1 1", "RIGIDTYPE 2 1\nRIGIDTYPE -1 1"),
       {{"13: Number 2 but 3", K::kAssignmentCount}, {"15: vertex 2 beyond the character's mesh of 2 vertices (its Number)", K::kVertexRange},
        "16: vertex -1 beyond"}},
      {"vertex beyond the ASE's mesh", kMpd, kMpdClean,
       {{"13: Number 2 but the ASE's skinned object has 1 vertices", K::kMeshMismatch}, "15: vertex 1 beyond the character's mesh of 1 vertices (the ASE's object)"},
       "*GEOMOBJECT {\n*MESH_NUMVERTEX 1\n*PHYSIQUE_NUMVERTEXASSIGNMENT 2\n}\n"
       "*GEOMOBJECT {\n*MESH_NUMVERTEX 9\n}\n"},
      {"vertex assigned twice", kMpd, Replace(kMpdClean, "RIGIDTYPE 1 1", "RIGIDTYPE 0 1"),
       {{"15: vertex 0 assigned again (first at line 14)", K::kVertexTwice}}},
      {"bone ids outside 1..24", kMpd, Node(0, 0) + Node(25, 0) + "Number 1\nRIGIDTYPE 0 30\n",
       {{"1: bone id 0 outside 1..24", K::kBoneIdRange}, "6: bone id 25 outside", {"6: parent id 0 outside", K::kParentId}, "12: bone id 30 outside"}},
      {"parent naming no earlier node", kMpd, Node(2, 7) + Node(7, 7), {{"1: parent id 7 names no earlier node", K::kParentId}}},
      {"RIGIDTYPE bone without a node", kMpd, Node(1, 1) + "Number 1\nRIGIDTYPE 0 5\n",
       {{"7: bone id 5 names no node of this file", K::kUnknownBone}}},
      {"nodes sharing 24", kMpd, Node(1, 1) + Node(24, 1) + Node(24, 24) + Node(24, 1),
       {{"11: 3 nodes share the id 24 (the first at line 6)", K::kSharedId}}},
      {"rows missing, out of order, of another bone", kMpd,
       "NODE_PR 1 1\nTM_ROW0 1 0 0 0\nTM_ROW2 1 0 0 0\nTM_ROW1 3 0 0 0\nTM_ROW1 1 0 0 0\nTM_ROW0 1 0 0 0\n",
       {{"1: lacks TM_ROW3", K::kMissingRows}, {"3: TM_ROW2 where TM_ROW1 belongs", K::kMisplacedLine}, "4: TM_ROW1 where TM_ROW3 belongs",
        "4: TM_ROW1 names bone 3", "5: TM_ROW1 where TM_ROW2 belongs", "5: TM_ROW1 again", "6: TM_ROW0 where TM_ROW2",
        "6: TM_ROW0 again"}},
      {"rows and RIGIDTYPE outside their groups", kMpd, "TM_ROW0 1 0 0 0\nRIGIDTYPE 0 1\n",
       {{"1: TM_ROW0 outside a NODE_PR group", K::kMisplacedLine}, {"2: RIGIDTYPE before any Number line", K::kMisplacedLine}}},
      {"frames", kMpd, "FirstKeyNumber 10\nKeyNumber -5\nKeyNumber 3\n",
       {{"2: KeyNumber -5: the last frame comes before the first", K::kFrameRange}, {"3: KeyNumber again (first at line 2)", K::kRepeatedLine}}},
      {"2^31 and overflowing numbers", kMpd, "Number 2147483648\nNumber 2147483647\nNODE_PR 99999999999999999999 1\n",
       {{"1: Number holds a number out of range", K::kBadFields}, "2: Number 2147483647 but 0 RIGIDTYPE", "3: NODE_PR holds a number out of range"}},
      {"numbers missing, wrong, not finite, too many", kMpd,
       "NODE_PR 1\nNODE_PR 1 x\nNODE_PR 1 1 1\nNODE_PR 1 1\nTM_ROW0 1 nan 0 0\nTM_ROW1 1 0 0\n",
       {"1: NODE_PR needs a bone id and a parent id", "2: NODE_PR needs", "3: NODE_PR has more than",
        "4: lacks TM_ROW0, TM_ROW1, TM_ROW2, TM_ROW3", "5: TM_ROW0 holds a number out of range", "6: TM_ROW1 needs"}},
      {"truncated group", kMpd, "NODE_PR 1 1\nTM_ROW0 1 1.0", {"1: lacks TM_ROW0, TM_ROW1, TM_ROW2, TM_ROW3", "2: TM_ROW0 needs"}},
      {"binary garbage", kMpd, std::string(kGarbage, sizeof kGarbage - 1),
       {"1: '?ELF?" "?' is not a line of a physique data file", {"2: '\xff\xfe' is not a line", K::kUnknownLine}}},
      {"100,000-character line, once", kMpd, "Number 0\n" + longLine + "\nNumber 0\n",
       {{"2: a line of more than 254 characters", K::kLongLine}}},
      {"findings past 100 counted", kMpd, Repeat("Q\n", 150),
       {"1: 'Q' is not a line", "100: 'Q' is not", {"150: 50 more problems in this file are not shown", K::kMoreNotShown}}, {}, true},
      {"mca long line", kMca, "PHYID 1\n" + longLine + "\nEnd", {{"2: a line of more than 254 characters", K::kLongLine}}},
      {"t3m long line", kT3m, "0.t3m\n" + longLine + "End\n", {{"2: a line of more than 254 characters", K::kLongLine}, "394: no End line"}},

      {"mca as written", kMca, kMcaClean, {}},
      {"mca with CRLF and a line feed after End", kMca, Crlf(kMcaClean + "\n"), {}},
      {"mca empty", kMca, "", {{"1: no End line (the file is empty)", K::kNoEnd}}},
      {"mca cut short", kMca, "PHYID 1\nP 1 0 1.0 2.0", {"2: P needs a bone id, a key number and three reals", "2: no End line: the file is cut short"}},
      {"keys backwards, negative, of another bone", kMca,
       "PHYID 1\nP 1 5 0 0 0\nP 1 2 0 0 0\nR 1 -1 0 0 0 0\nR 2 0 0 0 0 0\nEnd",
       {{"3: key 2 after key 5 (line 2): the samples go backwards", K::kKeysBackwards}, {"4: key -1 is negative", K::kKeyRange}, {"5: R names bone 2 under PHYID 1", K::kOtherBone}}},
      {"keys outside the frames, PHYID the physique lacks", kMca, "PHYID 1\nP 1 4 0 0 0\nP 1 5 0 0 0\nPHYID 9\nEnd",
       {{"3: key 5 outside the frames 0..4", K::kKeyRange}, {"4: PHYID 9 names no node of the physique data", K::kUnknownBone}}, kMpdClean},
      {"samples before PHYID, ids outside, lines after End", kMca, "P 1 0 0 0 0\nPHYID 0\nPHYID 25\nEnd\nPHYID 1\nEnd",
       {"1: P before any PHYID line", "2: bone id 0 outside 1..24", "3: bone id 25 outside", {"5: lines after End", K::kMisplacedLine}}},
      {"mca 2^31 key and garbage", kMca, "PHYID 1\nP 1 2147483648 0 0 0\nQ\nEnd x\n",
       {"2: P holds a number out of range", "3: 'Q' is not a line of a motion data file", {"4: End has more than", K::kBadFields}}},

      {"chr as written", kChr, "a.ase\nb.mpd\nc.mca\nd.bmp", {}},
      {"chr with CRLF", kChr, "a.ase\r\nb.mpd\r\nc.mca\r\nd.bmp\r\n", {}},
      {"chr short", kChr, "a.ase\nb.mpd\nc.mca", {{"3: no name of the bitmap file (line 4)", K::kNameMissing}}},
      {"chr long, blank, misnamed", kChr, "a.ase\n\nc.mpd\nd.bmp\ne\n",
       {"2: no name of the physique data file", {"3: 'c.mpd' is not named as the motion data file (.mca)", K::kMisnamed},
        {"5: a character file holds four names", K::kExtraName}}},
      {"chr empty", kChr, "", {"1: no name of the ASE", "1: no name of the physique", "1: no name of the motion", "1: no name of the bitmap"}},

      {"t3m as written", kT3m, kT3mClean, {}},
      {"t3m with CRLF", kT3m, Crlf(kT3mClean), {}},
      {"t3m without texture lines", kT3m, "0.t3m\nNumVertex 1\nNumFace 1\nVERTEX 0 0 0 0\nFACE 0 0 0 0\nEnd\n", {}},
      {"t3m records before counts", kT3m, "0.t3m\nVERTEX 0 0 0 0\nNumFace 1\nFACE 0 0 1 2\nNumVertex 0\nEnd\n",
       {"2: VERTEX before NumVertex", "4: FACE before NumVertex"}},
      {"t3m indices outside their counts", kT3m,
       Replace(Replace(kT3mClean, "VERTEX 2 0.000000", "VERTEX 3 0.000000"), "FACE 0 0 1 2", "FACE 0 0 1 70000"),
       {{"3: NumVertex 3 but 2 VERTEX lines", K::kRecordCount}, {"7: VERTEX 3 outside 0..2", K::kIndexRange}, "8: FACE corner 70000 outside 0..2"}},
      {"t3m counts negative, 16-bit, 2^31", kT3m, "0.t3m\nNumVertex -1\nNumTVertex 70000\nNumFace 2147483647\nEnd\n",
       {{"2: NumVertex -1 is negative", K::kNegativeCount}, {"3: NumTVertex 70000: 16-bit indices reach only 65536", K::kIndexLimit},
        "3: NumTVertex 70000 but 0 TVERTEX", "4: NumFace 2147483647 but 0 FACE"}},
      {"t3m fewer texture triangles, index twice", kT3m,
       "0.t3m\nNumVertex 1\nVERTEX 0 0 0 0\nVERTEX 0 0 0 0\nNumFace 2\nFACE 0 0 0 0\nFACE 1 0 0 0\nNumTFace 1\nTFACE 0 0 0 0\nEnd\n",
       {{"4: VERTEX 0 again (first at line 3)", K::kRecordTwice}, {"8: fewer texture triangles (1) than triangles (2)", K::kFewerTextureTriangles},
        "9: TFACE before NumTVertex"}},
      {"t3m cut short, or read past End", kT3m, "0.t3m\nNumVertex 1\nVERTEX 0 0 0", {"2: NumVertex 1 but 0 VERTEX lines", "3: VERTEX needs", "3: no End line"}},
      {"t3m past End", kT3m, "0.t3m\nEnd\nNumVertex 5\nNumFace 3\n", {{"3: lines after End are not read", K::kMisplacedLine}}},
      {"t3m empty", kT3m, "", {{"1: no End line (the file is empty)", K::kNoEnd}}},

      {"mcm as written", kMcm, "", {}},
      {"mcm with text", kMcm, "x", {{"1: a character mesh file is written empty", K::kNotEmpty}}},
  };
}

Findings CheckCase(const Case& c) {
  Findings findings;
  formats::LineReader in(c.input.data(), c.input.size());
  switch (c.kind) {
    case kMpd: {
      PhysiqueData data;
      ReadPhysiqueData(in, "f", data, findings);
      std::vector<int> mesh;
      if (!c.context.empty()) {
        formats::LineReader ase(c.context.data(), c.context.size());
        mesh = ReadSkinVertexCounts(ase);
      }
      CheckPhysiqueData(data, "f", c.context.empty() ? nullptr : &mesh, findings);
      break;
    }
    case kMca: {
      MotionData data;
      ReadMotionData(in, "f", data, findings);
      PhysiqueData physique;
      if (!c.context.empty()) {
        formats::LineReader mpd(c.context.data(), c.context.size());
        Findings ignored;
        ReadPhysiqueData(mpd, "g", physique, ignored);
      }
      CheckMotionData(data, "f", c.context.empty() ? nullptr : &physique, findings);
      break;
    }
    case kChr: {
      CharacterFile file;
      ReadCharacterFile(in, "f", file, findings);
      break;
    }
    case kT3m:
      CheckModelFile(in, "f", findings);
      break;
    case kMcm:
      CheckCharacterMesh(in, "f", findings);
      break;
  }
  return findings;
}

TEST(CharacterFiles, EachInputGivesItsFindingsAndNoOther) {
  for (const Case& c : Cases()) {
    Findings found = CheckCase(c);
    std::string all;
    for (const Finding& f : found) all += "  (kind " + std::to_string(static_cast<int>(f.kind)) + ") " + FormatFinding(f);
    std::vector<bool> used(found.size());
    for (const Want& want : c.expected) {
      const std::size_t colon = want.text.find(": ");
      const long long line = std::stoll(want.text.substr(0, colon));
      const std::string words = want.text.substr(colon + 2);
      bool hit = false;
      for (std::size_t i = 0; i < found.size() && !hit; ++i)
        if (!used[i] && found[i].line == line && found[i].what.find(words) != std::string::npos &&
            (!want.kind || found[i].kind == *want.kind))
          used[i] = hit = true;
      EXPECT_TRUE(hit) << c.label << ": no finding \"" << want.text << "\" (kind "
                       << (want.kind ? static_cast<int>(*want.kind) : -1) << ") among\n" << all;
    }
    if (!c.more) {
      EXPECT_EQ(found.size(), c.expected.size()) << c.label << ": found\n" << all;
    }
    for (const Finding& f : found) EXPECT_EQ(f.file, "f") << c.label;
  }
}

// What the glTF export takes: nodes in order with ids, parents and rows,
// the assignments of each physique block, the samples of each PHYID block.
TEST(CharacterFiles, RecordsHoldWhatTheLinesSay) {
  Findings findings;
  formats::LineReader mpd(kMpdClean.data(), kMpdClean.size());
  PhysiqueData physique;
  ReadPhysiqueData(mpd, "c.mpd", physique, findings);
  ASSERT_EQ(physique.nodes.size(), 2u);
  EXPECT_EQ(physique.nodes[1].id, 2);
  EXPECT_EQ(physique.nodes[1].parentId, 1);
  EXPECT_EQ(physique.nodes[1].line, 8);
  EXPECT_TRUE(physique.nodes[0].IsRoot());
  EXPECT_FALSE(physique.nodes[1].IsRoot());
  EXPECT_EQ(physique.nodes[1].rows[2][2], 1.0f);
  EXPECT_EQ(physique.nodes[1].rowLine[3], 12);
  EXPECT_EQ(physique.LastKey(), 4);
  ASSERT_EQ(physique.blocks.size(), 1u);
  EXPECT_EQ(physique.blocks[0].node, 1);
  ASSERT_EQ(physique.blocks[0].vertices.size(), 2u);
  EXPECT_EQ(physique.blocks[0].vertices[0].bone, 2);
  EXPECT_EQ(physique.blocks[0].vertices[1].line, 15);

  formats::LineReader mca(kMcaClean.data(), kMcaClean.size());
  MotionData motion;
  ReadMotionData(mca, "c.mca", motion, findings);
  ASSERT_EQ(motion.blocks.size(), 2u);
  ASSERT_EQ(motion.blocks[0].positions.size(), 2u);
  EXPECT_EQ(motion.blocks[0].positions[1].key, 4);
  EXPECT_EQ(motion.blocks[0].positions[0].value[2], 3.0f);
  ASSERT_EQ(motion.blocks[0].rotations.size(), 1u);
  EXPECT_EQ(motion.blocks[0].rotations[0].value[2], 1.0f);
  EXPECT_TRUE(motion.blocks[1].positions.empty());
  EXPECT_EQ(motion.endLine, 6);
  EXPECT_TRUE(findings.empty()) << FormatFinding(findings[0]);
}

// A .chr's files are looked up beside it, wherever the check runs from; the
// missing ones are named on the .chr's line that names them.
TEST(CharacterFiles, CharacterFindsItsFilesBesideIt) {
  ScratchFolder folder;
  std::filesystem::create_directory("hero");
  WriteAll("hero/c.chr", "in.ase\nc.mpd\nc.mca\nc.bmp");
  WriteAll("hero/in.ase", "*GEOMOBJECT {\n*MESH_NUMVERTEX 2\n*PHYSIQUE_NUMVERTEXASSIGNMENT 2\n}\n");
  WriteAll("hero/c.mpd", kMpdClean);
  WriteAll("hero/c.mca", kMcaClean);
  Character character;
  Findings findings;
  EXPECT_FALSE(LoadCharacter("hero/c.chr", character, findings));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(FormatFinding(findings[0]), "hero/c.chr:4: 'c.bmp' is not beside the character file (hero/c.bmp)\n");
  WriteAll("hero/c.bmp", "");
  findings.clear();
  EXPECT_TRUE(LoadCharacter("hero/c.chr", character, findings));
  EXPECT_TRUE(findings.empty()) << FormatFinding(findings[0]);
  EXPECT_EQ(character.meshVertices, std::vector<int>{2});
  EXPECT_EQ(character.physique.nodes.size(), 2u);
  EXPECT_EQ(character.motion.blocks.size(), 2u);

  std::filesystem::remove("hero/c.mpd");
  findings.clear();
  EXPECT_FALSE(LoadCharacter("hero/c.chr", character, findings));
  EXPECT_TRUE(CheckFile("hero/c.chr", findings));
  EXPECT_FALSE(CheckFile("hero/c.txt", findings));
  std::string all;
  for (const Finding& f : findings) all += FormatFinding(f);
  EXPECT_NE(all.find("hero/c.chr:2: 'c.mpd' is not beside"), std::string::npos) << all;
}

// A lone file takes its context from the file of the same stem beside it:
// NAME.ase for NAME.mpd's mesh, NAME.mpd for NAME.mca's frames.
TEST(CharacterFiles, LoneFilesUseTheirNamesakesBesideThem) {
  ScratchFolder folder;
  WriteAll("c.mpd", kMpdClean);
  WriteAll("c.mca", Replace(kMcaClean, "P 1 4", "P 1 9"));
  Findings findings;
  EXPECT_TRUE(CheckFile("c.mca", findings));
  EXPECT_TRUE(CheckFile("c.mpd", findings));
  WriteAll("c.ASE", "*GEOMOBJECT {\n*MESH_NUMVERTEX 1\n*PHYSIQUE_NUMVERTEXASSIGNMENT 1\n}\n");
  EXPECT_TRUE(CheckFile("c.MPD", findings));
  std::string all;
  for (const Finding& f : findings) all += FormatFinding(f);
  EXPECT_EQ(all, "c.mca:4: key 9 outside the frames 0..4\n"
                 "c.MPD:13: Number 2 but the ASE's skinned object has 1 vertices\n"
                 "c.MPD:15: vertex 1 beyond the character's mesh of 1 vertices (the ASE's object)\n");
}

}  // namespace
}  // namespace tarn::tool
