#include "tool/BoneTable.h"

#include <cstring>

#include "formats/AseKeywords.h"
#include "formats/LineScan.h"

namespace tarn::tool {
namespace {

struct BoneEntry {
  const char* key;
  int id;
};
constexpr BoneEntry kBones[] = {
    {"Bip01", 1},      {"Pelvis", 2},     {"Spine", 3},     {"Neck", 4},       {"RClavicle", 5},
    {"LClavicle", 6},  {"Head", 7},       {"RThigh", 8},    {"RCalf", 9},      {"RFoot", 10},
    {"LThigh", 11},    {"LCalf", 12},     {"LFoot", 13},    {"LUpperArm", 14}, {"LForearm", 15},
    {"LHand", 16},     {"RUpperArm", 17}, {"RForearm", 18}, {"RHand", 19},     {"LFinger0", 20},
    {"RFinger0", 21},  {"RToe0", 22},     {"LToe0", 23},    {"Footsteps", 24}, {"Objects", 24},
};

// Room for any word of a 255-character line.
using WordBuffer = char[256];

}  // namespace

int LookupBoneId(std::string_view key) {
  for (const BoneEntry& e : kBones)
    if (key == e.key) return e.id;
  return kOtherBone;
}

void ClearLongWord(std::string& word) {
  if (word.size() > 11) word.clear();
}

void DropLastChar(std::string& text) {
  if (!text.empty()) text.pop_back();
}

std::string MakeBoneKey(std::string w1, std::string w2, std::string w3, NameRule rule) {
  ClearLongWord(w1);
  ClearLongWord(w2);
  ClearLongWord(w3);
  if (rule == NameRule::kNode && w1.size() + w2.size() + w3.size() < 8) {
    std::string key = "Bip01 ";
    DropLastChar(key);
    return key;
  }
  std::string key = w2 + w3;
  DropLastChar(key);
  return key;
}

int NodeLineBoneId(std::string_view line) {
  WordBuffer w1 = "", w2 = "", w3 = "";
  formats::ScanLine(formats::AfterKeyword(line), formats::ase::ScanOf(formats::ase::Key::kNodeName), w1, w2, w3);
  return LookupBoneId(MakeBoneKey(w1, w2, w3, NameRule::kNode));
}

int PhysiqueLineBoneId(std::string_view line, int* vertex) {
  WordBuffer w1 = "", w2 = "", w3 = "";
  formats::ScanLine(formats::AfterKeyword(line), formats::ase::ScanOf(formats::ase::Key::kPhysiqueRigidType), vertex, w1,
                    w2, w3);
  return LookupBoneId(MakeBoneKey(w1, w2, w3, NameRule::kPhysique));
}

}  // namespace tarn::tool
