// CharacterFiles: the reader of what the character writers write (the
// physique data .mpd, the motion data .mca, the character file .chr), the
// checks of the model files (.t3m) and of the character mesh (.mcm), and the
// checks across a character's files. Used by `rigwright-batch check` and by
// the character's glTF export.
//
// Every reader goes through formats::LineReader (256-byte lines, a CR before
// the LF belongs to the line end) and takes memory or a stream; the Load...
// wrappers open a file. No count read from a file sizes an allocation: the
// records are kept as their lines arrive, so memory follows the input's
// size. Every record carries the number of its line, and every problem is a
// Finding with the file's name and a line number (1 or more: a problem of
// the file as a whole, such as a missing "End", names its last line, or
// line 1 when the file is empty).
//
// Our choices:
//   - A reader keeps what it can read and reports the rest: a line with an
//     unknown keyword, a line whose numbers are missing, do not parse or are
//     followed by more words, a matrix row or sample outside its group.
//   - "The character's mesh" for a vertex number: the vertex count of the
//     ASE object that carries the physique block ("*MESH_NUMVERTEX" of the
//     "*GEOMOBJECT" holding "*PHYSIQUE_NUMVERTEXASSIGNMENT"), the n-th such
//     object for the n-th "Number" line. The ASE is known when the .mpd is
//     checked through its .chr, or when an ASE of the same stem (NAME.ase or
//     NAME.ASE) lies beside NAME.mpd. Without it, the physique block's own
//     count ("Number", which the exporter writes as the mesh's vertex count)
//     stands for the mesh.
//   - The frame range of key numbers is 0 .. last frame - first frame, that
//     is 0 .. KeyNumber + 1 (KeyNumber is written one short). It is known
//     for a .mca checked through its .chr, or beside a .mpd of the same stem;
//     without it only negative key numbers are outside.
//   - Key numbers go backwards when a sample's key is lower than the key of
//     the sample of the same kind (P or R) before it in its PHYID block; an
//     equal key is not reported (two ticks of one frame share a key).
//   - Ids shared by several nodes are reported once per id, at the second
//     node that has it, with the number of nodes that share it: any shared
//     id (24 for names outside the bone table, 1 for a short one-word name
//     such as a mesh called "Body") makes a parent id ambiguous.
//   - A .mcm is written empty: any byte in it is reported.
//   - Each reader and each check lists at most 100 findings of a file and
//     then one line that counts the rest (a binary file would otherwise give
//     one per 255 bytes). CheckFile gives each file's findings together, by
//     line.
//   - A model file's second count line of a kind (an export's second
//     mapping channel) is one finding, and the records after it are counted
//     against it, as the engine keeps only those.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/LineReader.h"

namespace tarn::tool {

// What a finding is about, so that a caller decides by kind and never by
// the words (which are for people and may change).
enum class FindingKind {
  // Any file.
  kUnreadable,       // cannot be opened or read
  kLongLine,         // a line of more than 254 characters
  kUnknownLine,      // a line that is none of the file's, or a blank line
  kBadFields,        // numbers missing, not parsing, out of range, or more words after them
  kMisplacedLine,    // a line outside the group or before the line it needs, or after End
  kRepeatedLine,     // a line that comes once, again
  kNoEnd,            // no End line
  kMoreNotShown,     // the count of the findings past the ones listed
  // Physique data (.mpd).
  kMissingRows,      // a NODE_PR group without all four TM_ROW lines
  kOtherBone,        // a TM_ROW or sample naming another bone than its group
  kFrameRange,       // the last frame before the first
  kBoneIdRange,      // a bone id outside 1..24 (node, RIGIDTYPE, PHYID)
  kParentId,         // a parent id outside 1..24 or naming no earlier node
  kSharedId,         // several nodes share one id
  kBlendedVertices,  // fewer RIGIDTYPE lines than the Number: blended vertices, not written
  kAssignmentCount,  // a negative Number, or more RIGIDTYPE lines than it
  kMeshMismatch,     // Number lines or their counts against the ASE's skinned objects
  kVertexRange,      // a vertex number beyond the mesh
  kUnknownBone,      // a bone id that names no node (RIGIDTYPE, PHYID)
  kVertexTwice,      // a vertex assigned again
  // Motion data (.mca).
  kKeyRange,         // a key number negative or past the last frame
  kKeysBackwards,    // a key lower than the one before it
  // Character file (.chr).
  kNameMissing,      // one of the four names missing
  kExtraName,        // a fifth line
  kMisnamed,         // a name without the extension its line needs
  kFileMissing,      // a named file not beside the .chr
  // Model file (.t3m).
  kNegativeCount,    // a count or material index below 0
  kIndexLimit,       // a count beyond 16-bit indices
  kRecordCount,      // a count that disagrees with its records
  kIndexRange,       // a record or corner index outside its count
  kRecordTwice,      // a record index again
  kFewerTextureTriangles,
  // Character mesh (.mcm).
  kNotEmpty,         // it is written empty
  // The glTF export: files that agree with themselves but not with each
  // other or with the ASE they name.
  kOtherExport,      // not converted from this ASE export
  kTooLarge,         // beyond what the output can name
};

// One problem: printed as "FILE:LINE: what".
struct Finding {
  Finding(FindingKind kind, std::string file, long long line, std::string what)
      : kind(kind), file(std::move(file)), line(line), what(std::move(what)) {}
  FindingKind kind;
  std::string file;
  long long line = 1;
  std::string what;
};
using Findings = std::vector<Finding>;

// --- Physique data (.mpd) --------------------------------------------------

// One "NODE_PR" group with its four matrix rows (as the ASE holds them: no
// axes exchanged). rowLine[r] is 0 when row r was missing.
struct SkeletonNode {
  long long line = 0;  // the NODE_PR line
  int id = 0;
  int parentId = 0;  // the node's own id for a node without parent
  float rows[4][3] = {};
  long long rowLine[4] = {};
  bool HasAllRows() const { return rowLine[0] && rowLine[1] && rowLine[2] && rowLine[3]; }
  bool IsRoot() const { return parentId == id; }
};

struct VertexAssignment {
  long long line = 0;
  int vertex = 0;
  int bone = 0;
};

// One "Number" line and the "RIGIDTYPE" lines after it (one skinned mesh's
// physique block). node is the index in PhysiqueData::nodes of the group
// before it (the skinned mesh's own node), -1 when none came before.
struct AssignmentBlock {
  long long line = 0;
  int number = 0;
  int node = -1;
  std::vector<VertexAssignment> vertices;
};

struct PhysiqueData {
  bool hasFirstFrame = false, hasKeyNumber = false;
  int firstFrame = 0;
  int keyNumber = 0;  // last frame - first frame - 1, as written
  long long firstFrameLine = 0, keyNumberLine = 0;
  std::vector<SkeletonNode> nodes;        // in the file's order (the ASE's node order)
  std::vector<AssignmentBlock> blocks;    // in the file's order
  long long lines = 0;                    // lines read
  // The last key number of the scene (last frame - first frame), when known.
  bool HasFrameRange() const { return hasKeyNumber; }
  long long LastKey() const { return static_cast<long long>(keyNumber) + 1; }
};

// --- Motion data (.mca) ----------------------------------------------------

struct PositionSample {
  long long line = 0;
  int bone = 0;  // as the line gives it
  int key = 0;   // frames from the scene's first frame
  float value[3] = {};
};
struct RotationSample {
  long long line = 0;
  int bone = 0;
  int key = 0;
  float value[4] = {};  // the ASE rotation sample's four numbers, in their order
};

// One "PHYID" line and the samples after it, in their order per kind.
struct MotionBlock {
  long long line = 0;
  int id = 0;
  std::vector<PositionSample> positions;
  std::vector<RotationSample> rotations;
};

struct MotionData {
  std::vector<MotionBlock> blocks;  // in the file's order
  bool hasEnd = false;
  long long endLine = 0;
  long long lines = 0;
};

// --- Character file (.chr) -------------------------------------------------

struct CharacterFile {
  enum Entry { kAse = 0, kPhysique = 1, kMotion = 2, kBitmap = 3 };
  std::string names[4];    // as written: bare names
  long long lines[4] = {}; // line of each name; 0 when missing
};

// --- Readers: one file alone ----------------------------------------------
// Each reads its input to the end and appends the problems that the file
// shows by itself; `name` is the file's name in the findings.

void ReadPhysiqueData(formats::LineReader& in, std::string_view name, PhysiqueData& out, Findings& findings);
void ReadMotionData(formats::LineReader& in, std::string_view name, MotionData& out, Findings& findings);
void ReadCharacterFile(formats::LineReader& in, std::string_view name, CharacterFile& out, Findings& findings);
// The model file: its keywords through formats/ModelFileFormat.h; counts,
// indices and their order as the engine's reader needs them.
void CheckModelFile(formats::LineReader& in, std::string_view name, Findings& findings);
// The character mesh: any content is a finding.
void CheckCharacterMesh(formats::LineReader& in, std::string_view name, Findings& findings);

// The vertex counts of the ASE objects that carry a physique block, in
// order (what a .mpd's "Number" blocks refer to).
std::vector<int> ReadSkinVertexCounts(formats::LineReader& ase);

// --- Checks of what was read ----------------------------------------------

// Ids, parents, shared ids, Number against its RIGIDTYPE lines, vertex
// numbers against the mesh: meshVertices (from ReadSkinVertexCounts) or,
// when null, each block's Number.
void CheckPhysiqueData(const PhysiqueData& data, std::string_view name, const std::vector<int>* meshVertices,
                       Findings& findings);
// Ids, samples against their PHYID, key order and range (from physique when
// given), and PHYID ids that the physique's nodes lack (when given).
void CheckMotionData(const MotionData& data, std::string_view name, const PhysiqueData* physique,
                     Findings& findings);

// --- Files -----------------------------------------------------------------

// A file that cannot be opened gives a finding at line 1 and false.
bool LoadPhysiqueData(const std::string& path, PhysiqueData& out, Findings& findings);
bool LoadMotionData(const std::string& path, MotionData& out, Findings& findings);
bool LoadCharacterFile(const std::string& path, CharacterFile& out, Findings& findings);

// A whole character through its .chr: the four files looked up beside it,
// each read and checked, the .mpd against the ASE's mesh and the .mca
// against the .mpd. paths[] holds the four files' paths as opened (empty
// when the name is missing). True when every file could be read (the
// findings may still hold problems).
struct Character {
  CharacterFile file;
  std::string paths[4];
  PhysiqueData physique;
  MotionData motion;
  std::vector<int> meshVertices;  // empty when the ASE carries no physique block
};
bool LoadCharacter(const std::string& chrPath, Character& out, Findings& findings);

// `rigwright-batch check`: one file by its extension (.t3m, .mpd, .mca,
// .chr, .mcm, in any letter case). False for another extension (nothing is
// read then).
bool IsCheckable(std::string_view path);
bool CheckFile(const std::string& path, Findings& findings);
// "FILE:LINE: what\n"
std::string FormatFinding(const Finding& finding);

}  // namespace tarn::tool
