#include "tool/CharacterFiles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "formats/AseKeywords.h"
#include "formats/LineScan.h"
#include "formats/ModelFileFormat.h"
#include "platform/files/AnsiFile.h"

namespace tarn::tool {
namespace {

using formats::IsBlank;
using formats::LineReader;

constexpr int kFirstBone = 1;
constexpr int kLastBone = 24;
// Past this many problems a file's further ones are counted, not listed: a
// binary file would otherwise give one line per 255 bytes.
constexpr int kShownPerFile = 100;
constexpr std::size_t kQuotedChars = 40;

std::string Num(long long v) { return std::to_string(v); }

// Text from the file, fit for one line: cut, control characters shown as
// '?'. Bytes from 0x80 on stay: names are code page 949 text, which the
// program converts for the terminal.
std::string Quote(std::string_view text) {
  std::string out = "'";
  for (std::size_t i = 0; i < text.size() && i < kQuotedChars; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
  }
  if (text.size() > kQuotedChars) out += "...";
  return out + "'";
}

class Reporter {
 public:
  Reporter(Findings& findings, std::string_view name) : findings_(findings), name_(name) {}
  Reporter(const Reporter&) = delete;
  Reporter& operator=(const Reporter&) = delete;
  ~Reporter() {
    if (hidden_ > 0)
      findings_.emplace_back(FindingKind::kMoreNotShown, name_, lastLine_,
                             Num(hidden_) + " more problems in this file are not shown");
  }
  void Add(long long line, FindingKind kind, std::string what) {
    if (line < 1) line = 1;
    lastLine_ = std::max(lastLine_, line);
    if (shown_ >= kShownPerFile) {
      ++hidden_;
      return;
    }
    ++shown_;
    findings_.emplace_back(kind, name_, line, std::move(what));
  }

 private:
  Findings& findings_;
  std::string name_;
  int shown_ = 0;
  long long hidden_ = 0;
  long long lastLine_ = 1;
};

// A physical line longer than 254 characters arrives in pieces of 255 (the
// programs' 256-byte buffer); the writers never write one. It is reported
// once, at its first piece, and its other pieces are passed over.
class LongLines {
 public:
  // True when the current line is a piece of a long line (reported at its
  // first piece).
  bool Skip(const LineReader& in, Reporter& report) {
    const bool piece = in.Line().size() >= LineReader::kMaxLine;
    const bool skip = cut_ || piece;
    if (piece && !cut_) report.Add(in.LineNumber(), FindingKind::kLongLine, "a line of more than 254 characters (read in pieces of 255)");
    cut_ = piece;
    return skip;
  }

 private:
  bool cut_ = false;
};

// The numbers of a line after its keyword, read strictly: an integer is a
// sign and decimal digits within 32 bits; a real is what %f reads and must
// be finite; after the last field only blanks may follow.
class Fields {
 public:
  explicit Fields(std::string_view rest) : p_(rest.data()), e_(rest.data() + rest.size()) {}
  bool Int(int& v) {
    Skip();
    const char* p = p_;
    bool negative = false;
    if (p < e_ && (*p == '-' || *p == '+')) negative = *p++ == '-';
    if (p >= e_ || *p < '0' || *p > '9') return Fail();
    long long value = 0;
    for (; p < e_ && *p >= '0' && *p <= '9'; ++p) {
      value = value * 10 + (*p - '0');
      if (value > 2147483648LL) return Fail(true);
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return Fail(true);
    if (p < e_ && !IsBlank(*p)) return Fail();
    v = static_cast<int>(value);
    p_ = p;
    return true;
  }
  bool Float(float& v) {
    Skip();
    const char* p = p_;
    if (!formats::ScanFloat(p, e_, v)) return Fail();
    if (p < e_ && !IsBlank(*p)) return Fail();
    if (!std::isfinite(v)) return Fail(true);
    p_ = p;
    return true;
  }
  bool AtEnd() {
    Skip();
    return p_ >= e_;
  }
  bool OutOfRange() const { return outOfRange_; }

 private:
  void Skip() {
    while (p_ < e_ && IsBlank(*p_)) ++p_;
  }
  bool Fail(bool outOfRange = false) {
    outOfRange_ = outOfRange_ || outOfRange;
    return false;
  }
  const char* p_;
  const char* e_;
  bool outOfRange_ = false;
};

// Reads "KEY int... real..." with nothing after; reports what is wrong.
bool ReadNumbers(const LineReader& in, Reporter& report, int* ints, int intCount, float* floats, int floatCount,
                 const char* shape) {
  Fields f(in.AfterKeyword());
  bool ok = true;
  for (int i = 0; ok && i < intCount; ++i) ok = f.Int(ints[i]);
  for (int i = 0; ok && i < floatCount; ++i) ok = f.Float(floats[i]);
  if (ok && f.AtEnd()) return true;
  std::string key(in.Keyword());
  if (f.OutOfRange())
    report.Add(in.LineNumber(), FindingKind::kBadFields, key + " holds a number out of range (a whole number beyond 32 bits, or a real that is not finite)");
  else if (ok)
    report.Add(in.LineNumber(), FindingKind::kBadFields, key + " has more than " + shape);
  else
    report.Add(in.LineNumber(), FindingKind::kBadFields, key + " needs " + shape);
  return false;
}

bool IsBone(int id) { return id >= kFirstBone && id <= kLastBone; }
std::string BoneRange() { return Num(kFirstBone) + ".." + Num(kLastBone); }

// --- physique -------------------------------------------------------------

constexpr const char* kRowNames[] = {"TM_ROW0", "TM_ROW1", "TM_ROW2", "TM_ROW3"};

int RowOf(std::string_view k) {
  if (k.size() == 7 && k.starts_with("TM_ROW") && k[6] >= '0' && k[6] <= '3') return k[6] - '0';
  return -1;
}

// Extension test, any letter case.
bool EndsWith(std::string_view path, std::string_view ext) {
  if (path.size() < ext.size()) return false;
  std::string_view tail = path.substr(path.size() - ext.size());
  for (std::size_t i = 0; i < ext.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != ext[i]) return false;
  return true;
}

}  // namespace

void ReadPhysiqueData(LineReader& in, std::string_view name, PhysiqueData& out, Findings& findings) {
  Reporter report(findings, name);
  out = PhysiqueData{};
  SkeletonNode* group = nullptr;  // the open NODE_PR group
  int nextRow = 4;
  auto closeGroup = [&] {
    if (group != nullptr && !group->HasAllRows()) {
      std::string missing;
      for (int r = 0; r < 4; ++r)
        if (!group->rowLine[r]) missing += std::string(missing.empty() ? "" : ", ") + kRowNames[r];
      report.Add(group->line, FindingKind::kMissingRows, "the NODE_PR group of bone " + Num(group->id) + " lacks " + missing);
    }
    group = nullptr;
    nextRow = 4;
  };
  LongLines longLines;
  while (in.Next()) {
    out.lines = in.LineNumber();
    if (longLines.Skip(in, report)) continue;
    if (!in.HasWord()) {
      report.Add(in.LineNumber(), FindingKind::kUnknownLine, "blank line (a physique data file has none)");
      continue;
    }
    std::string_view k = in.Keyword();
    const long long line = in.LineNumber();
    int ints[2] = {};
    float reals[3] = {};
    if (int row = RowOf(k); row >= 0) {
      if (group == nullptr) {
        report.Add(line, FindingKind::kMisplacedLine, std::string(k) + " outside a NODE_PR group");
        continue;
      }
      if (row != nextRow)
        report.Add(line, FindingKind::kMisplacedLine, std::string(k) + " where " + (nextRow < 4 ? kRowNames[nextRow] : "a new NODE_PR") +
                             " belongs (group at line " + Num(group->line) + ")");
      nextRow = row + 1;
      if (!ReadNumbers(in, report, ints, 1, reals, 3, "a bone id and three reals")) continue;
      if (ints[0] != group->id)
        report.Add(line, FindingKind::kOtherBone, std::string(k) + " names bone " + Num(ints[0]) + ", its NODE_PR group bone " + Num(group->id));
      if (group->rowLine[row]) {
        report.Add(line, FindingKind::kRepeatedLine, std::string(k) + " again in the group at line " + Num(group->line));
        continue;
      }
      std::copy(reals, reals + 3, group->rows[row]);
      group->rowLine[row] = line;
    } else if (k == "NODE_PR") {
      closeGroup();
      if (!ReadNumbers(in, report, ints, 2, reals, 0, "a bone id and a parent id")) continue;
      SkeletonNode node;
      node.line = line;
      node.id = ints[0];
      node.parentId = ints[1];
      out.nodes.push_back(node);
      group = &out.nodes.back();
      nextRow = 0;
    } else if (k == "RIGIDTYPE") {
      closeGroup();
      if (!ReadNumbers(in, report, ints, 2, reals, 0, "a vertex number and a bone id")) continue;
      if (out.blocks.empty()) {
        report.Add(line, FindingKind::kMisplacedLine, "RIGIDTYPE before any Number line");
        continue;
      }
      out.blocks.back().vertices.push_back({line, ints[0], ints[1]});
    } else if (k == "Number") {
      closeGroup();
      if (!ReadNumbers(in, report, ints, 1, reals, 0, "a count")) continue;
      AssignmentBlock block;
      block.line = line;
      block.number = ints[0];
      block.node = static_cast<int>(out.nodes.size()) - 1;
      out.blocks.push_back(std::move(block));
    } else if (k == "FirstKeyNumber" || k == "KeyNumber") {
      closeGroup();
      const bool first = k == "FirstKeyNumber";
      bool& has = first ? out.hasFirstFrame : out.hasKeyNumber;
      long long& at = first ? out.firstFrameLine : out.keyNumberLine;
      if (!ReadNumbers(in, report, ints, 1, reals, 0, "a frame number")) continue;
      if (has) {
        report.Add(line, FindingKind::kRepeatedLine, std::string(k) + " again (first at line " + Num(at) + ")");
        continue;
      }
      has = true;
      at = line;
      (first ? out.firstFrame : out.keyNumber) = ints[0];
    } else {
      report.Add(line, FindingKind::kUnknownLine, Quote(k) + " is not a line of a physique data file");
    }
  }
  closeGroup();
}

void CheckPhysiqueData(const PhysiqueData& data, std::string_view name, const std::vector<int>* meshVertices,
                       Findings& findings) {
  Reporter report(findings, name);
  if (data.hasKeyNumber && data.keyNumber < -1)
    report.Add(data.keyNumberLine, FindingKind::kFrameRange, "KeyNumber " + Num(data.keyNumber) + ": the last frame comes before the first");
  // id -> (first line, count)
  std::unordered_map<int, std::pair<long long, int>> seen;
  for (const SkeletonNode& node : data.nodes) {
    if (!IsBone(node.id)) report.Add(node.line, FindingKind::kBoneIdRange, "bone id " + Num(node.id) + " outside " + BoneRange());
    if (!node.IsRoot()) {
      if (!IsBone(node.parentId))
        report.Add(node.line, FindingKind::kParentId, "parent id " + Num(node.parentId) + " outside " + BoneRange());
      else if (!seen.contains(node.parentId))
        report.Add(node.line, FindingKind::kParentId, "parent id " + Num(node.parentId) + " names no earlier node");
    }
    auto [it, fresh] = seen.try_emplace(node.id, node.line, 0);
    ++it->second.second;
    (void)fresh;
  }
  std::unordered_map<int, bool> toldShared;
  for (const SkeletonNode& node : data.nodes) {
    const auto& [first, count] = seen[node.id];
    if (count > 1 && node.line != first && !toldShared[node.id]) {
      toldShared[node.id] = true;
      report.Add(node.line, FindingKind::kSharedId, Num(count) + " nodes share the id " + Num(node.id) + " (the first at line " + Num(first) +
                                "): a parent id " + Num(node.id) + " cannot tell them apart");
    }
  }
  if (meshVertices != nullptr && data.blocks.size() != meshVertices->size()) {
    report.Add(data.blocks.empty() ? std::max(1LL, data.lines) : data.blocks.front().line, FindingKind::kMeshMismatch,
               "the ASE has " + Num(static_cast<long long>(meshVertices->size())) +
                   " objects with a physique block, this file " + Num(static_cast<long long>(data.blocks.size())) +
                   " Number lines");
  }
  std::vector<std::pair<int, long long>> byVertex;
  for (std::size_t b = 0; b < data.blocks.size(); ++b) {
    const AssignmentBlock& block = data.blocks[b];
    const long long rigid = static_cast<long long>(block.vertices.size());
    if (block.number < 0)
      report.Add(block.line, FindingKind::kAssignmentCount, "Number " + Num(block.number) + " is negative");
    else if (block.number != rigid)
      report.Add(block.line, block.number > rigid ? FindingKind::kBlendedVertices : FindingKind::kAssignmentCount,
                 "Number " + Num(block.number) + " but " + Num(rigid) + " RIGIDTYPE lines follow" +
                                 (block.number > rigid ? " (blended assignments are not written)" : ""));
    long long mesh = block.number;
    const char* what = " (its Number)";
    if (meshVertices != nullptr && b < meshVertices->size()) {
      mesh = (*meshVertices)[b];
      what = " (the ASE's object)";
      if (block.number != mesh)
        report.Add(block.line, FindingKind::kMeshMismatch, "Number " + Num(block.number) + " but the ASE's skinned object has " + Num(mesh) +
                                   " vertices");
    }
    byVertex.clear();
    for (const VertexAssignment& v : block.vertices) {
      if (v.vertex < 0 || v.vertex >= mesh)
        report.Add(v.line, FindingKind::kVertexRange, "vertex " + Num(v.vertex) + " beyond the character's mesh of " + Num(mesh) + " vertices" +
                               what);
      if (!IsBone(v.bone))
        report.Add(v.line, FindingKind::kBoneIdRange, "bone id " + Num(v.bone) + " outside " + BoneRange());
      else if (!seen.contains(v.bone))
        report.Add(v.line, FindingKind::kUnknownBone, "bone id " + Num(v.bone) + " names no node of this file");
      byVertex.emplace_back(v.vertex, v.line);
    }
    std::sort(byVertex.begin(), byVertex.end());
    for (std::size_t i = 1; i < byVertex.size(); ++i)
      if (byVertex[i].first == byVertex[i - 1].first)
        report.Add(byVertex[i].second, FindingKind::kVertexTwice, "vertex " + Num(byVertex[i].first) + " assigned again (first at line " +
                                           Num(byVertex[i - 1].second) + ")");
  }
}

// --- motion ---------------------------------------------------------------

void ReadMotionData(LineReader& in, std::string_view name, MotionData& out, Findings& findings) {
  Reporter report(findings, name);
  out = MotionData{};
  bool toldAfterEnd = false;
  LongLines longLines;
  while (in.Next()) {
    out.lines = in.LineNumber();
    const long long line = in.LineNumber();
    if (!out.hasEnd && longLines.Skip(in, report)) continue;
    if (out.hasEnd) {
      if (!toldAfterEnd) report.Add(line, FindingKind::kMisplacedLine, "lines after End");
      toldAfterEnd = true;
      continue;
    }
    if (!in.HasWord()) {
      report.Add(line, FindingKind::kUnknownLine, "blank line (a motion data file has none)");
      continue;
    }
    std::string_view k = in.Keyword();
    int ints[2] = {};
    float reals[4] = {};
    if (k == "P" || k == "R") {
      const bool pos = k == "P";
      if (!ReadNumbers(in, report, ints, 2, reals, pos ? 3 : 4,
                       pos ? "a bone id, a key number and three reals" : "a bone id, a key number and four reals"))
        continue;
      if (out.blocks.empty()) {
        report.Add(line, FindingKind::kMisplacedLine, std::string(k) + " before any PHYID line");
        continue;
      }
      MotionBlock& block = out.blocks.back();
      if (pos) {
        PositionSample s;
        s.line = line;
        s.bone = ints[0];
        s.key = ints[1];
        std::copy(reals, reals + 3, s.value);
        block.positions.push_back(s);
      } else {
        RotationSample s;
        s.line = line;
        s.bone = ints[0];
        s.key = ints[1];
        std::copy(reals, reals + 4, s.value);
        block.rotations.push_back(s);
      }
    } else if (k == "PHYID") {
      if (!ReadNumbers(in, report, ints, 1, reals, 0, "a bone id")) continue;
      MotionBlock block;
      block.line = line;
      block.id = ints[0];
      out.blocks.push_back(std::move(block));
    } else if (k == "End") {
      if (!Fields(in.AfterKeyword()).AtEnd()) report.Add(line, FindingKind::kBadFields, "End has more than the word End");
      out.hasEnd = true;
      out.endLine = line;
    } else {
      report.Add(line, FindingKind::kUnknownLine, Quote(k) + " is not a line of a motion data file");
    }
  }
  if (!out.hasEnd)
    report.Add(std::max(1LL, out.lines), FindingKind::kNoEnd,
               out.lines == 0 ? "no End line (the file is empty)" : "no End line: the file is cut short");
}

void CheckMotionData(const MotionData& data, std::string_view name, const PhysiqueData* physique,
                     Findings& findings) {
  Reporter report(findings, name);
  const bool ranged = physique != nullptr && physique->HasFrameRange();
  const long long lastKey = ranged ? physique->LastKey() : 0;
  std::unordered_map<int, bool> nodeIds;
  if (physique != nullptr)
    for (const SkeletonNode& n : physique->nodes) nodeIds[n.id] = true;
  auto key = [&](long long line, int bone, int blockId, int k, int before, long long beforeLine, char kind) {
    if (bone != blockId)
      report.Add(line, FindingKind::kOtherBone, std::string(1, kind) + " names bone " + Num(bone) + " under PHYID " + Num(blockId));
    if (k < 0 || (ranged && k > lastKey))
      report.Add(line, FindingKind::kKeyRange, "key " + Num(k) + (ranged ? " outside the frames 0.." + Num(lastKey)
                                                 : std::string(" is negative: keys count from the first frame")));
    if (beforeLine != 0 && k < before)
      report.Add(line, FindingKind::kKeysBackwards, "key " + Num(k) + " after key " + Num(before) + " (line " + Num(beforeLine) +
                           "): the samples go backwards, as when another object's samples follow under this bone");
  };
  for (const MotionBlock& block : data.blocks) {
    if (!IsBone(block.id))
      report.Add(block.line, FindingKind::kBoneIdRange, "bone id " + Num(block.id) + " outside " + BoneRange());
    else if (physique != nullptr && !nodeIds.contains(block.id))
      report.Add(block.line, FindingKind::kUnknownBone, "PHYID " + Num(block.id) + " names no node of the physique data");
    for (std::size_t i = 0; i < block.positions.size(); ++i) {
      const PositionSample& s = block.positions[i];
      key(s.line, s.bone, block.id, s.key, i ? block.positions[i - 1].key : 0, i ? block.positions[i - 1].line : 0, 'P');
    }
    for (std::size_t i = 0; i < block.rotations.size(); ++i) {
      const RotationSample& s = block.rotations[i];
      key(s.line, s.bone, block.id, s.key, i ? block.rotations[i - 1].key : 0, i ? block.rotations[i - 1].line : 0, 'R');
    }
  }
}

// --- character file, model file, character mesh ---------------------------

void ReadCharacterFile(LineReader& in, std::string_view name, CharacterFile& out, Findings& findings) {
  Reporter report(findings, name);
  out = CharacterFile{};
  static const char* const kWhat[] = {"the ASE file", "the physique data file (.mpd)",
                                      "the motion data file (.mca)", "the bitmap file"};
  static const char* const kExt[] = {nullptr, ".mpd", ".mca", nullptr};
  long long line = 0;
  while (in.Next()) {
    line = in.LineNumber();
    if (line > 4) {
      report.Add(line, FindingKind::kExtraName, "a character file holds four names; this line is more");
      break;
    }
    const int i = static_cast<int>(line - 1);
    std::string_view text = in.Line();
    if (text.empty() || std::all_of(text.begin(), text.end(), IsBlank)) {
      report.Add(line, FindingKind::kNameMissing, std::string("no name of ") + kWhat[i]);
      continue;
    }
    out.names[i] = std::string(text);
    out.lines[i] = line;
    if (kExt[i] != nullptr && !EndsWith(text, kExt[i]))
      report.Add(line, FindingKind::kMisnamed, Quote(text) + " is not named as " + kWhat[i]);
  }
  for (int i = static_cast<int>(line); i < 4; ++i)
    report.Add(std::max(1LL, line), FindingKind::kNameMissing, std::string("no name of ") + kWhat[i] + " (line " + Num(i + 1) + ")");
}

void CheckModelFile(LineReader& in, std::string_view name, Findings& findings) {
  namespace m = formats::model;
  Reporter report(findings, name);
  // The four counted kinds: count line, record line, their count and records.
  struct Kind {
    const char* countWord;
    const char* recordWord;
    long long countLine = 0;
    int count = 0;
    std::vector<std::pair<int, long long>> records;  // index, line
  };
  Kind kinds[4] = {{m::kNumVertex, m::kVertex}, {m::kNumFace, m::kFace}, {m::kNumTVertex, m::kTVertex},
                   {m::kNumTFace, m::kTFace}};
  enum { kV, kF, kTV, kTF };
  constexpr long long kMaxIndexed = 65536;  // 16-bit indices
  long long lastLine = 0;
  bool ended = false;
  LongLines longLines;
  while (in.Next()) {
    lastLine = in.LineNumber();
    const long long line = lastLine;
    if (ended) {
      report.Add(line, FindingKind::kMisplacedLine, "lines after End are not read");
      break;
    }
    if (longLines.Skip(in, report)) continue;
    // The first line, the file's own name, is no keyword: the engine passes
    // over it as over any other unknown word.
    if (!in.HasWord()) continue;
    std::string_view k = in.Keyword();
    if (k == m::kEnd) {
      ended = true;
      continue;
    }
    int ints[4] = {};
    float reals[3] = {};
    if (k == m::kPos) {
      ReadNumbers(in, report, ints, 0, reals, 3, "three reals");
      continue;
    }
    if (k == m::kMatId) {
      if (ReadNumbers(in, report, ints, 1, reals, 0, "a material index") && ints[0] < 0)
        report.Add(line, FindingKind::kNegativeCount, "material index " + Num(ints[0]) + " is negative");
      continue;
    }
    for (int n = 0; n < 4; ++n) {
      Kind& kind = kinds[n];
      if (k == kind.countWord) {
        if (!ReadNumbers(in, report, ints, 1, reals, 0, "a count")) break;
        // The engine starts the kind afresh at a second count line (an
        // export's second mapping channel arrives this way): one finding,
        // and the records are counted against the new count.
        if (kind.countLine) {
          report.Add(line, FindingKind::kRepeatedLine, std::string(k) + " again (first at line " + Num(kind.countLine) +
                               "): the engine keeps only what follows this line");
          kind.records.clear();
        }
        kind.countLine = line;
        kind.count = ints[0];
        if (ints[0] < 0) report.Add(line, FindingKind::kNegativeCount, std::string(k) + " " + Num(ints[0]) + " is negative");
        if ((n == kV || n == kTV) && ints[0] > kMaxIndexed)
          report.Add(line, FindingKind::kIndexLimit, std::string(k) + " " + Num(ints[0]) + ": 16-bit indices reach only " + Num(kMaxIndexed));
        break;
      }
      if (k == kind.recordWord) {
        const bool face = n == kF || n == kTF;
        if (!ReadNumbers(in, report, ints, face ? 4 : 1, reals, face ? 0 : 3,
                         face ? "an index and three corners" : "an index and three reals"))
          break;
        if (!kind.countLine) {
          report.Add(line, FindingKind::kMisplacedLine, std::string(k) + " before " + kind.countWord);
          break;
        }
        if (ints[0] < 0 || ints[0] >= kind.count) {
          report.Add(line, FindingKind::kIndexRange, std::string(k) + " " + Num(ints[0]) + " outside 0.." + Num(kind.count - 1L) + " (" +
                               kind.countWord + " " + Num(kind.count) + ")");
          break;
        }
        kind.records.emplace_back(ints[0], line);
        if (face) {
          const Kind& corners = kinds[n == kF ? kV : kTV];
          if (!corners.countLine) {
            report.Add(line, FindingKind::kMisplacedLine, std::string(k) + " before " + corners.countWord);
            break;
          }
          for (int c = 1; c < 4; ++c)
            if (ints[c] < 0 || ints[c] >= corners.count) {
              report.Add(line, FindingKind::kIndexRange, std::string(k) + " corner " + Num(ints[c]) + " outside 0.." + Num(corners.count - 1L) +
                                   " (" + corners.countWord + " " + Num(corners.count) + ")");
              break;
            }
        }
        break;
      }
    }
  }
  for (Kind& kind : kinds) {
    std::sort(kind.records.begin(), kind.records.end());
    long long distinct = 0;
    for (std::size_t i = 0; i < kind.records.size(); ++i) {
      if (i > 0 && kind.records[i].first == kind.records[i - 1].first) {
        report.Add(kind.records[i].second, FindingKind::kRecordTwice, std::string(kind.recordWord) + " " + Num(kind.records[i].first) +
                                               " again (first at line " + Num(kind.records[i - 1].second) + ")");
        continue;
      }
      ++distinct;
    }
    if (kind.countLine && kind.count > 0 && distinct < kind.count)
      report.Add(kind.countLine, FindingKind::kRecordCount, std::string(kind.countWord) + " " + Num(kind.count) + " but " + Num(distinct) + " " +
                                     kind.recordWord + " lines");
  }
  if (kinds[kTF].countLine && kinds[kF].countLine && kinds[kTF].count < kinds[kF].count)
    report.Add(kinds[kTF].countLine, FindingKind::kFewerTextureTriangles, "fewer texture triangles (" + Num(kinds[kTF].count) + ") than triangles (" +
                                         Num(kinds[kF].count) + ")");
  if (!ended)
    report.Add(std::max(1LL, lastLine), FindingKind::kNoEnd, lastLine == 0 ? "no End line (the file is empty)" : "no End line: the file is cut short");
}

void CheckCharacterMesh(LineReader& in, std::string_view name, Findings& findings) {
  Reporter report(findings, name);
  if (in.Next()) report.Add(1, FindingKind::kNotEmpty, "a character mesh file is written empty; this one holds text");
}

std::vector<int> ReadSkinVertexCounts(LineReader& ase) {
  namespace a = formats::ase;
  std::vector<int> counts;
  int vertices = 0;
  while (ase.NextKeywordLine()) {
    switch (a::Find(ase.Keyword())) {
      case a::Key::kGeomObject:
        vertices = 0;
        break;
      case a::Key::kMeshNumVertex:
        formats::ScanLine(ase.AfterKeyword(), a::ScanOf(a::Key::kMeshNumVertex), &vertices);
        break;
      case a::Key::kPhysiqueNumVertexAssignment:
        counts.push_back(vertices);
        break;
      default:
        break;
    }
  }
  return counts;
}

// --- files ----------------------------------------------------------------

namespace {

// Opens for reading; on failure a finding at line 1 of `name`.
std::FILE* OpenInput(const std::string& path, std::string_view name, Findings& findings) {
  std::FILE* f = files::AnsiFopen(path.c_str(), "rb");
  if (f == nullptr) findings.emplace_back(FindingKind::kUnreadable, std::string(name), 1, "cannot be read: " + files::LastErrorText());
  return f;
}

template <class Read>
bool WithFile(const std::string& path, Findings& findings, Read read) {
  std::FILE* f = OpenInput(path, path, findings);
  if (f == nullptr) return false;
  {
    LineReader in(f);
    read(in);
  }
  std::fclose(f);
  return true;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Beside(const std::string& path, const std::string& name) {
  if (!name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))) return name;
  return FolderOf(path) + name;
}

bool Exists(const std::string& path) {
  std::FILE* f = files::AnsiFopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

std::string WithExtension(const std::string& path, const char* ext) {
  std::size_t dot = path.find_last_of('.');
  std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ext;
  return path.substr(0, dot) + ext;
}

// The ASE of the same stem beside a file, or "".
std::string SameStem(const std::string& path, std::initializer_list<const char*> exts) {
  for (const char* ext : exts) {
    std::string candidate = WithExtension(path, ext);
    if (Exists(candidate)) return candidate;
  }
  return {};
}

}  // namespace

bool LoadPhysiqueData(const std::string& path, PhysiqueData& out, Findings& findings) {
  return WithFile(path, findings, [&](LineReader& in) { ReadPhysiqueData(in, path, out, findings); });
}
bool LoadMotionData(const std::string& path, MotionData& out, Findings& findings) {
  return WithFile(path, findings, [&](LineReader& in) { ReadMotionData(in, path, out, findings); });
}
bool LoadCharacterFile(const std::string& path, CharacterFile& out, Findings& findings) {
  return WithFile(path, findings, [&](LineReader& in) { ReadCharacterFile(in, path, out, findings); });
}

bool LoadCharacter(const std::string& chrPath, Character& out, Findings& findings) {
  out = Character{};
  if (!LoadCharacterFile(chrPath, out.file, findings)) return false;
  bool whole = true;
  bool present[4] = {};
  for (int i = 0; i < 4; ++i) {
    if (out.file.names[i].empty()) {
      whole = false;
      continue;
    }
    out.paths[i] = Beside(chrPath, out.file.names[i]);
    present[i] = Exists(out.paths[i]);
    if (!present[i]) {
      findings.emplace_back(FindingKind::kFileMissing, chrPath, out.file.lines[i],
                            Quote(out.file.names[i]) + " is not beside the character file (" + out.paths[i] + ")");
      whole = false;
    }
  }
  bool haveAse = false;
  if (present[CharacterFile::kAse])
    haveAse = WithFile(out.paths[CharacterFile::kAse], findings,
                       [&](LineReader& in) { out.meshVertices = ReadSkinVertexCounts(in); });
  bool havePhysique = false;
  if (present[CharacterFile::kPhysique]) {
    havePhysique = LoadPhysiqueData(out.paths[CharacterFile::kPhysique], out.physique, findings);
    if (havePhysique)
      CheckPhysiqueData(out.physique, out.paths[CharacterFile::kPhysique], haveAse ? &out.meshVertices : nullptr,
                        findings);
  }
  if (present[CharacterFile::kMotion] && LoadMotionData(out.paths[CharacterFile::kMotion], out.motion, findings))
    CheckMotionData(out.motion, out.paths[CharacterFile::kMotion], havePhysique ? &out.physique : nullptr, findings);
  else
    whole = false;
  return whole && haveAse && havePhysique;
}

bool IsCheckable(std::string_view path) {
  for (const char* ext : {".t3m", ".mpd", ".mca", ".chr", ".mcm"})
    if (EndsWith(path, ext)) return true;
  return false;
}

namespace {

// The findings from `from` on, each file's together in the order the files
// first appear, by line within a file.
void SortFindings(Findings& findings, std::size_t from) {
  std::vector<std::string> order;
  for (std::size_t i = from; i < findings.size(); ++i)
    if (std::find(order.begin(), order.end(), findings[i].file) == order.end()) order.push_back(findings[i].file);
  auto rank = [&](const Finding& f) { return std::find(order.begin(), order.end(), f.file) - order.begin(); };
  std::stable_sort(findings.begin() + static_cast<std::ptrdiff_t>(from), findings.end(),
                   [&](const Finding& a, const Finding& b) {
                     const auto ra = rank(a), rb = rank(b);
                     return ra != rb ? ra < rb : a.line < b.line;
                   });
}

bool CheckOne(const std::string& path, Findings& findings);

}  // namespace

bool CheckFile(const std::string& path, Findings& findings) {
  const std::size_t from = findings.size();
  const bool known = CheckOne(path, findings);
  SortFindings(findings, from);
  return known;
}

namespace {

bool CheckOne(const std::string& path, Findings& findings) {
  if (EndsWith(path, ".t3m"))
    return WithFile(path, findings, [&](LineReader& in) { CheckModelFile(in, path, findings); }), true;
  if (EndsWith(path, ".mcm"))
    return WithFile(path, findings, [&](LineReader& in) { CheckCharacterMesh(in, path, findings); }), true;
  if (EndsWith(path, ".chr")) {
    Character character;
    LoadCharacter(path, character, findings);
    return true;
  }
  if (EndsWith(path, ".mpd")) {
    PhysiqueData data;
    if (!LoadPhysiqueData(path, data, findings)) return true;
    std::vector<int> mesh;
    std::string ase = SameStem(path, {".ase", ".ASE"});
    const bool haveAse =
        !ase.empty() && WithFile(ase, findings, [&](LineReader& in) { mesh = ReadSkinVertexCounts(in); });
    CheckPhysiqueData(data, path, haveAse ? &mesh : nullptr, findings);
    return true;
  }
  if (EndsWith(path, ".mca")) {
    MotionData data;
    if (!LoadMotionData(path, data, findings)) return true;
    // The .mpd beside it gives the frame range and the node ids; its own
    // problems are its check's, not this one's.
    PhysiqueData physique;
    Findings ignored;
    std::string mpd = SameStem(path, {".mpd", ".MPD"});
    const bool havePhysique = !mpd.empty() && LoadPhysiqueData(mpd, physique, ignored);
    CheckMotionData(data, path, havePhysique ? &physique : nullptr, findings);
    return true;
  }
  return false;
}

}  // namespace

std::string FormatFinding(const Finding& finding) {
  return finding.file + ":" + Num(finding.line) + ": " + finding.what + "\n";
}

}  // namespace tarn::tool
