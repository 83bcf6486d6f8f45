// CharacterAse: what the character's glTF takes from the ASE export beside
// the converters' files: the nodes' own names and parent names, which of
// them the motion data lists, and the skinned mesh with its material and
// its physique lines' bone names.
//
// One pass over the export, keyword by keyword (formats/AseKeywords.h).
// Blocks are followed by a line's last word ("{" opens, a first word "}"
// closes), so that a material's "*MATERIAL 0 {" keeps the list's depth:
//   - A node is a "*TM_ROW0" line, wherever it stands, exactly as the
//     physique writer makes one "NODE_PR" group of it: its name is the last
//     "*NODE_NAME" before it, its parent the "*NODE_PARENT" since the node
//     before it (none: a root). Names are whole (every word, quotes
//     removed), not the bone rule's three words.
//   - The motion writer lists a node ("PHYID") when its "*TM_ROW0" stands
//     outside an animation section (from "*TM_ANIMATION" to the next
//     "*GEOMOBJECT"); motionBlock numbers those nodes in order, -1 for the
//     others (a helper object after an animated one).
//   - The skinned mesh is the "*MESH" block of the object whose node is
//     `skinNode` (the .mpd's first "Number" block follows that node's
//     group), and its physique lines the ones in that object. Only its
//     numbers are scanned, so the static objects of a large export cost a
//     keyword look-up per line.
//   - The mesh is kept as the engine's house reader keeps it (engine/world):
//     counts bound the indices later lines may use and are cut to what the
//     input can hold; an index outside its count is skipped; faces are kept
//     by index, a later line replacing an earlier one.
//   - The material list's entries: name and bitmap, quotes removed.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "formats/LineReader.h"

namespace tarn::exports {

struct AseNode {
  long long line = 0;  // the *TM_ROW0 line
  std::string name;
  std::string parent;  // empty for a root
  bool hasParent = false;
  int motionBlock = -1;
};

struct AseFace {
  int a = 0, b = 0, c = 0;
  bool present = false;
};

struct AseSkin {
  bool present = false;
  long long line = 0;  // the *MESH line
  std::string name;
  std::vector<std::array<float, 3>> positions;  // the ASE's axes; unset ones are 0
  std::vector<AseFace> faces;
  std::vector<std::array<float, 2>> texVertices;  // u, v as the file gives them
  std::vector<AseFace> texFaces;
  int materialRef = -1;
  // The object's physique lines in order: vertex number and the bone's name
  // (an index into names).
  struct Rigid {
    long long line;
    int vertex;
    int name;
  };
  std::vector<Rigid> rigid;
  std::vector<std::string> names;
};

struct AseMaterialEntry {
  std::string name;
  std::string bitmap;
};

struct AseCharacter {
  std::vector<AseNode> nodes;
  int motionBlocks = 0;
  AseSkin skin;
  std::vector<AseMaterialEntry> materials;
};

// Reads the export to its end. inputBytes bounds the counts.
void ReadAseCharacter(formats::LineReader& in, std::size_t inputBytes, int skinNode, AseCharacter& out);

// A quoted name as the exporter writes it ("*NODE_NAME "Bip01 L Thigh""):
// the words after the keyword (or after the vertex number of a physique
// line), blanks around them dropped, and one double quote at each end.
std::string QuotedName(std::string_view rest);

}  // namespace tarn::exports
