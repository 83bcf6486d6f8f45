// CharacterExport: a character as its files describe it (the .chr, its ASE
// export, physique and motion data and its picture), gathered for the glTF
// writer: `rigwright-batch gltf CHARACTER.chr OUT.glb`.
//
// What the file holds:
//   - one joint per "NODE_PR" group of the physique data, in order, named
//     with the ASE node's own name; its rest pose from the group's matrix
//     rows, as the parent's inverse times the node's (CharacterPose.h for
//     the axes and the ASE numbers' meaning);
//   - the hierarchy from the parent ids; where several earlier nodes have
//     the parent's id (24 for the names outside the bone table), the ASE's
//     "*NODE_PARENT" line names the one, with a warning;
//   - the mesh: the ASE object that carries the physique block, read with
//     the engine's rules (y and z exchanged, each triangle's second and
//     third corner exchanged, v flipped), then mirrored into glTF's axes as
//     the world's export does (z negated, the winding reversed); corners
//     that name the same position and texture vertex share a vertex;
//   - the skin: each vertex follows the bone of its "RIGIDTYPE" line with
//     weight 1; where that id is shared, the ASE's physique line names the
//     bone. A vertex without an assignment follows the mesh's own node
//     (counted in a warning). The inverse bind matrices undo the joints'
//     rest pose (taken from the joints' own translation, rotation and scale,
//     so that the mesh stands exactly where the export put it);
//   - the picture named on the .chr's fourth line, read by the engine's
//     picture reader (the fill colour and alpha of its rules), as an
//     embedded PNG; the alpha mode from the alpha as the engine's 4-bit
//     texels keep it (all opaque: OPAQUE; only opaque and transparent:
//     MASK at the engine's reference 8; else BLEND);
//   - one animation: per joint that has samples in the motion data, a
//     translation and a rotation channel, at 30 frames a second.
// Refused (the check's lines and exit status 1, nothing written): what the
// character's checks find in its files (tool/CharacterFiles.h), except that
// several nodes share an id (resolved by the ASE's names as above), and an
// ASE that disagrees with the physique or motion data (another number of
// nodes, other ids in the same places).
// Warnings, on stderr: an ASE without the physique's object (the skeleton
// and its motion alone), parents resolved by name, vertices without an
// assignment, a picture that cannot be read (a plain material).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "export/CharacterPose.h"
#include "tool/CharacterFiles.h"

namespace tarn::exports {

struct CharacterJoint {
  std::string name;  // code page 949, as the ASE holds it
  int parent = -1;
  Trs rest;
  std::array<float, 16> inverseBind{};
  bool animated = false;
  PositionTrack positions;
  RotationTrack rotations;
};

struct CharacterMesh {
  std::vector<float> positions;        // x, y, z per vertex, glTF's axes
  std::vector<float> texCoords;        // u, v per vertex
  std::vector<std::uint16_t> joints;   // 4 per vertex (the first one used)
  std::vector<std::uint32_t> indices;  // 3 per triangle, glTF's winding
  bool hasTexCoords = false;
};

struct CharacterPicture {
  bool present = false;
  std::string file;                // as the .chr names it
  std::int32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4, top row first
  enum class Alpha { kOpaque, kMask, kBlend } alpha = Alpha::kOpaque;
};

struct CharacterScene {
  std::string name;  // the .chr's stem
  std::string inputs[4];  // the four files' paths, as opened
  std::vector<CharacterJoint> joints;
  bool hasMesh = false;
  std::string meshName;
  int meshJoint = -1;  // the mesh object's own joint
  CharacterMesh mesh;
  CharacterPicture picture;
  int lastKey = 0;
  std::vector<std::string> warnings;
};

constexpr double kFramesPerSecond = 30.0;

// Gathers the character of a .chr. False when it is refused: `problems`
// then says why, as the check says it (tool::FormatFinding).
bool GatherCharacter(const std::string& chrPath, CharacterScene& out, tool::Findings& problems);

// `rigwright-batch gltf`: gathers the character and writes it, whole or
// not at all (platform/files/OutputFile.h), never over one of its inputs.
struct CharacterGltfRun {
  bool ok = false;
  bool refused = false;       // problems says why
  tool::Findings problems;
  std::vector<std::string> warnings;
  std::string error;          // when not ok and not refused
  int joints = 0, keys = 0;
  long long vertices = 0, triangles = 0, bytes = 0;
  double seconds = 0;         // the animation's length
};
CharacterGltfRun ExportCharacterGltf(const std::string& chrPath, const std::string& outPath);

// The alpha mode of a picture's RGBA bytes, as the engine's 4-bit texels
// keep their alpha.
CharacterPicture::Alpha AlphaModeOf(const std::vector<std::uint8_t>& rgba);

}  // namespace tarn::exports
