#include "formats/AseKeywords.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formats/AseFace.h"
#include "formats/LineReader.h"
#include "formats/LineScan.h"

namespace ase = tarn::formats::ase;
namespace fmt = tarn::formats;

namespace {

TEST(AseKeywords, FindGivesEachWordItsKeyAndNoneToNearMisses) {
  for (const ase::Keyword& k : ase::kKeywords) {
    if (k.key == ase::Key::kNone) continue;
    EXPECT_EQ(ase::Find(k.word), k.key) << k.word;
    EXPECT_EQ(ase::Find(std::string(k.word) + "X"), ase::Key::kNone) << k.word;
    EXPECT_EQ(ase::Find(k.word.substr(1)), ase::Key::kNone) << k.word;
    EXPECT_EQ(ase::Find(k.word.substr(0, k.word.size() - 1)), ase::Key::kNone) << k.word;
    for (std::size_t at = 0; at < k.word.size(); ++at) {  // one byte off, anywhere
      std::string off(k.word);
      off[at] = '#';
      EXPECT_EQ(ase::FindFor<0xFF>(off), ase::Key::kNone) << off;
    }
  }
  for (const char* word : {"", "}", "{", "*", "*mesh_vertex", "*MESH_VERTEx", "*TM_ROW4", "*MESH_NORMALS",
                           "*MATERIAL_NAME", "*SCENE", "*3DSMAX_ASCIIEXPORT"})
    EXPECT_EQ(ase::Find(word), ase::Key::kNone) << word;
  // Only the reader's own keywords reach its switch.
  EXPECT_EQ(ase::FindFor(ase::kHouseReader, "*MESH_VERTEX"), ase::Key::kMeshVertex);
  EXPECT_EQ(ase::FindFor(ase::kHouseReader, "*CONTROL_POS_SAMPLE"), ase::Key::kNone);
  EXPECT_EQ(ase::FindFor(ase::kMotionWriter, "*TM_ROW0"), ase::Key::kTmRow0);
  EXPECT_EQ(ase::FindFor(ase::kMotionWriter, "*TM_ROW1"), ase::Key::kNone);
  for (const ase::Keyword& k : ase::kKeywords) {
    EXPECT_EQ(ase::FindFor<ase::kPhysiqueWriter>(k.word), ase::FindFor(ase::kPhysiqueWriter, k.word)) << k.word;
    EXPECT_EQ(ase::FindFor<ase::kHouseReader>(k.word), ase::FindFor(ase::kHouseReader, k.word)) << k.word;
  }
}

// The hot lines skip the format scanner: their fast scans must store what
// the table's format stores, on plain lines and on damaged ones.
TEST(AseKeywords, FastScansStoreWhatTheFormatStores) {
  struct Case {
    ase::Key key;
    const char* rest;  // the line after its keyword
  };
  const Case cases[] = {
      {ase::Key::kMeshVertex, "\t0\t-12.5000\t3.0000\t1e3"},
      {ase::Key::kMeshVertex, " 7 1.5"},
      {ase::Key::kMeshVertex, " 2147483648 nan -inf 0x1p3"},
      {ase::Key::kMeshVertex, " x 1 2 3"},
      {ase::Key::kMeshTVert, " 3 0.25 -1.#IND 0.0"},
      {ase::Key::kMeshTFace, " 4 1 2 3"},
      {ase::Key::kMeshTFace, " 4 1 -2"},
      {ase::Key::kMeshTFace, " -1 99999999999 2 3"},
      {ase::Key::kMeshFace, "    0:    A:    1 B:    2 C:    3 AB:    1 BC:    1 CA:    0"},
      {ase::Key::kMeshFace, " 12:  A: 5 B: 6"},
      {ase::Key::kMeshFace, " 1: A: 2 B: x C: 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rest);
    const char* format = ase::ScanOf(c.key);
    int want[4] = {-7, -7, -7, -7}, got[4] = {-7, -7, -7, -7};
    float wantF[3] = {-7, -7, -7}, gotF[3] = {-7, -7, -7};
    if (c.key == ase::Key::kMeshFace) {
      char w[3][80] = {};
      char l[80] = {};
      fmt::ScanLine(c.rest, format, &want[0], w[0], w[1], &want[1], w[2], &want[2], l, &want[3]);
      const std::string line = std::string(ase::Of(c.key).word) + c.rest;
      fmt::ScanAseFace(line, got[0], got[1], got[2], got[3]);
    } else if (std::strcmp(format, "%d %d %d %d") == 0) {
      fmt::ScanLine(c.rest, format, &want[0], &want[1], &want[2], &want[3]);
      fmt::ScanIndexInts3(c.rest, got[0], got[1], got[2], got[3]);
    } else {
      ASSERT_STREQ(format, "%d %f %f %f");
      fmt::ScanLine(c.rest, format, &want[0], &wantF[0], &wantF[1], &wantF[2]);
      fmt::ScanIndexReals3(c.rest, got[0], gotF[0], gotF[1], gotF[2]);
    }
    EXPECT_EQ(std::memcmp(want, got, sizeof want), 0) << got[0] << " " << got[1] << " " << got[2] << " " << got[3];
    EXPECT_EQ(std::memcmp(wantF, gotF, sizeof wantF), 0) << gotF[0] << " " << gotF[1] << " " << gotF[2];
  }
}

}  // namespace
