// Node names to bone ids: the node rule with its short-name case, the
// physique rule without it, and the words the rules cut.
#include <gtest/gtest.h>

#include "tool/BoneTable.h"

namespace tarn::tool {
namespace {

int Node(const char* name) { return NodeLineBoneId(std::string("\t*NODE_NAME \"") + name + "\""); }
int Physique(const char* name) {
  int vertex = -1;
  return PhysiqueLineBoneId(std::string("\t\t*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE\t7\t\"") + name + "\"",
                            &vertex);
}

TEST(NodeRule, BipedNamesGiveTheirIds) {
  EXPECT_EQ(Node("Bip01"), 1);
  EXPECT_EQ(Node("Bip01 Pelvis"), 2);
  EXPECT_EQ(Node("Bip01 L Thigh"), 11);
  EXPECT_EQ(Node("Bip01 R Finger0"), 21);
  EXPECT_EQ(Node("Bip01 LUpperArm"), 14);
  EXPECT_EQ(Node("Bip01 Spine1"), 24);  // not in the table
  EXPECT_EQ(Node("Bip01 Footsteps"), 24);
  EXPECT_EQ(Node("Bip01 L Finger 0"), 24);  // four words: the key is "LFinge"
  EXPECT_EQ(MakeBoneKey("\"Bip01", "L", "Finger", NameRule::kNode), "LFinge");
}

TEST(NodeRule, OneWordNamesFollowTheirLength) {
  EXPECT_EQ(Node("Box"), 1);
  EXPECT_EQ(Node("Boxes"), 1);       // 5 characters: short-name case
  EXPECT_EQ(Node("Sphere"), 24);     // 6 characters: empty key
  EXPECT_EQ(Node("Cylinder1"), 24);  // 9 characters
  EXPECT_EQ(Node("Cylinder10"), 1);  // 10: the quoted word exceeds 11 and is cleared
  EXPECT_EQ(Node("LongObjectName"), 1);
  EXPECT_EQ(NodeLineBoneId("*NODE_NAME"), 1);  // no words at all
}

TEST(PhysiqueRule, HasNoShortNameCase) {
  EXPECT_EQ(Physique("Bip01"), 24);
  EXPECT_EQ(Physique("Bip01 Head"), 7);
  EXPECT_EQ(Physique("Bip01 R Thigh"), 8);
  int vertex = 5;
  EXPECT_EQ(PhysiqueLineBoneId("*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE 41 \"Bip01 L Hand\"", &vertex), 16);
  EXPECT_EQ(vertex, 41);
  // Without a vertex number the last one stays.
  EXPECT_EQ(PhysiqueLineBoneId("*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE x \"Bip01 L Hand\"", &vertex), 24);
  EXPECT_EQ(vertex, 41);
}

TEST(BoneTable, KeysMatchExactly) {
  EXPECT_EQ(LookupBoneId("Head"), 7);
  EXPECT_EQ(LookupBoneId("head"), 24);
  EXPECT_EQ(LookupBoneId("Objects"), 24);
  EXPECT_EQ(LookupBoneId(""), 24);
  std::string word = "123456789012";
  ClearLongWord(word);
  EXPECT_EQ(word, "");
  word = "12345678901";
  ClearLongWord(word);
  EXPECT_EQ(word, "12345678901");
  std::string empty;
  DropLastChar(empty);
  EXPECT_EQ(empty, "");
}

TEST(NodeRule, SurvivesHostileLines) {
  std::string huge(255, 'x');
  EXPECT_EQ(NodeLineBoneId("*NODE_NAME " + huge), 1);
  EXPECT_EQ(NodeLineBoneId(std::string("*NODE_NAME \"\xff\xfe Bip01 \x01\x02\"")), 24);
  int vertex = 0;
  EXPECT_EQ(PhysiqueLineBoneId("*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE 2147483648", &vertex), 24);
  EXPECT_EQ(vertex, -2147483647 - 1);
}

}  // namespace
}  // namespace tarn::tool
