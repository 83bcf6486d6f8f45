// ASE, the text export the houses and the characters arrive in: every keyword
// the system reads, in one table. Each entry has its line's grammar (the
// comment above it), the scan format of the fields after the keyword (as
// ScanLine takes it: formats/LineScan.h; "" for a keyword whose fields no
// reader scans) and the readers that take it. A reader finds a line's key
// with FindFor<its reader> and dispatches on it; a keyword missing from the
// table is a line no reader acts on.
//
// The hot number lines (*MESH_VERTEX, *MESH_FACE, *MESH_TVERT, *MESH_TFACE)
// are scanned through FieldCursor and ScanAseFace, which read exactly what
// their format here reads (tests/formats/AseKeywordsTest.cpp holds them to
// it); the motion samples through the tool's ScanIntAndFixed4, which reads
// their format and keeps the reals as text. Blocks open with a "{" second word and close with a "}"
// line (formats/AseDepth.h), whatever the keyword.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tarn::formats::ase {

// The readers, as bits of Keyword::readers.
enum Reader : std::uint8_t {
  kHouseReader = 1u << 0,     // the engine's house loader (engine/world/AseReader.cpp)
  kMeshWriter = 1u << 1,      // the model files of the mesh converter (tool/MeshConverter.cpp)
  kPhysiqueWriter = 1u << 2,  // the physique data (tool/CharacterConverter.cpp)
  kMotionWriter = 1u << 3,    // the motion data (tool/CharacterConverter.cpp)
};

enum class Key : std::uint8_t {
  kNone,  // a word no reader takes
  // The lines met most come first: Find compares in this order.
  kMeshVertex,
  kMeshFace,
  kMeshTVert,
  kMeshTFace,
  kControlPosSample,
  kControlRotSample,
  kGeomObject,
  kNodeName,
  kNodeParent,
  kTmRow0,  // the four rows stay consecutive: a reader may index them
  kTmRow1,
  kTmRow2,
  kTmRow3,
  kMesh,
  kMeshNumVertex,
  kMeshNumFaces,
  kMeshNumTVertex,
  kMeshNumTVFaces,
  kMaterialRef,
  kMaterialList,
  kMaterialCount,
  kMaterial,
  kMapClass,
  kBitmap,
  kSceneFirstFrame,
  kSceneLastFrame,
  kPhysiqueNumVertexAssignment,
  kPhysiqueRigidType,
  kTmAnimation,
  kCount
};

struct Keyword {
  Key key;
  std::string_view word;  // as the line holds it, star included
  const char* scan;       // the fields after the word
  std::uint8_t readers;   // Reader bits
};

inline constexpr Keyword kKeywords[] = {
    {Key::kNone, "", "", 0},
    // *MESH_VERTEX <i> <x> <y> <z>
    {Key::kMeshVertex, "*MESH_VERTEX", "%d %f %f %f", kHouseReader | kMeshWriter},
    // *MESH_FACE <i>: A: <a> B: <b> C: <c> AB: <0|1> ... *MESH_MTLID <id>
    // The words between the numbers are skipped unread (formats/AseFace.h).
    {Key::kMeshFace, "*MESH_FACE", "%d %s %s %d %s %d %s %d", kHouseReader | kMeshWriter},
    // *MESH_TVERT <i> <u> <v> <w>
    {Key::kMeshTVert, "*MESH_TVERT", "%d %f %f %f", kHouseReader | kMeshWriter},
    // *MESH_TFACE <i> <a> <b> <c>
    {Key::kMeshTFace, "*MESH_TFACE", "%d %d %d %d", kHouseReader | kMeshWriter},
    // *CONTROL_POS_SAMPLE <tick> <x> <y> <z>
    {Key::kControlPosSample, "*CONTROL_POS_SAMPLE", "%d %f %f %f", kMotionWriter},
    // *CONTROL_ROT_SAMPLE <tick> <x> <y> <z> <angle>
    {Key::kControlRotSample, "*CONTROL_ROT_SAMPLE", "%d %f %f %f %f", kMotionWriter},
    // *GEOMOBJECT {
    // An object; the motion writer's animation section also ends at one.
    {Key::kGeomObject, "*GEOMOBJECT", "", kHouseReader | kMeshWriter | kMotionWriter},
    // *NODE_NAME "<name words>"
    // The house keeps the first word, quotes stripped; the bone rules read three.
    {Key::kNodeName, "*NODE_NAME", "%s %s %s", kHouseReader | kPhysiqueWriter | kMotionWriter},
    // *NODE_PARENT "<name words>"
    {Key::kNodeParent, "*NODE_PARENT", "%s %s %s", kPhysiqueWriter},
    // *TM_ROW0 <x> <y> <z>
    {Key::kTmRow0, "*TM_ROW0", "%f %f %f", kPhysiqueWriter | kMotionWriter},
    // *TM_ROW1 <x> <y> <z>
    {Key::kTmRow1, "*TM_ROW1", "%f %f %f", kPhysiqueWriter},
    // *TM_ROW2 <x> <y> <z>
    {Key::kTmRow2, "*TM_ROW2", "%f %f %f", kPhysiqueWriter},
    // *TM_ROW3 <x> <y> <z>
    // The object's position: the house's reference point, the model file's Pos.
    {Key::kTmRow3, "*TM_ROW3", "%f %f %f", kHouseReader | kMeshWriter | kPhysiqueWriter},
    // *MESH {
    {Key::kMesh, "*MESH", "", kHouseReader},
    // *MESH_NUMVERTEX <count>
    {Key::kMeshNumVertex, "*MESH_NUMVERTEX", "%d", kHouseReader | kMeshWriter},
    // *MESH_NUMFACES <count>
    {Key::kMeshNumFaces, "*MESH_NUMFACES", "%d", kHouseReader | kMeshWriter},
    // *MESH_NUMTVERTEX <count>
    {Key::kMeshNumTVertex, "*MESH_NUMTVERTEX", "%d", kHouseReader | kMeshWriter},
    // *MESH_NUMTVFACES <count>
    {Key::kMeshNumTVFaces, "*MESH_NUMTVFACES", "%d", kHouseReader | kMeshWriter},
    // *MATERIAL_REF <index>
    {Key::kMaterialRef, "*MATERIAL_REF", "%d", kHouseReader | kMeshWriter},
    // *MATERIAL_LIST {
    {Key::kMaterialList, "*MATERIAL_LIST", "", kHouseReader},
    // *MATERIAL_COUNT <count>
    {Key::kMaterialCount, "*MATERIAL_COUNT", "%d", kHouseReader},
    // *MATERIAL <index> {
    // The brace is the third word: it opens no block (formats/AseDepth.h).
    {Key::kMaterial, "*MATERIAL", "%d", kHouseReader},
    // *MAP_CLASS "<class>"
    // Read, not used.
    {Key::kMapClass, "*MAP_CLASS", "%s", kHouseReader},
    // *BITMAP "<file name>"
    {Key::kBitmap, "*BITMAP", "%s", kHouseReader},
    // *SCENE_FIRSTFRAME <frame>
    {Key::kSceneFirstFrame, "*SCENE_FIRSTFRAME", "%d", kPhysiqueWriter | kMotionWriter},
    // *SCENE_LASTFRAME <frame>
    {Key::kSceneLastFrame, "*SCENE_LASTFRAME", "%d", kPhysiqueWriter},
    // *PHYSIQUE_NUMVERTEXASSIGNMENT <count>
    {Key::kPhysiqueNumVertexAssignment, "*PHYSIQUE_NUMVERTEXASSIGNMENT", "%d", kPhysiqueWriter},
    // *PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE <vertex> "<node name words>"
    {Key::kPhysiqueRigidType, "*PHYSIQUE_VERTEXASSIGNMENT_NONBLENDED_RIGIDTYPE", "%d %s %s %s", kPhysiqueWriter},
    // *TM_ANIMATION {
    // Its samples run to the next *GEOMOBJECT, braces uncounted.
    {Key::kTmAnimation, "*TM_ANIMATION", "", kMotionWriter},
};

// The table's entry of a key.
constexpr const Keyword& Of(Key key) { return kKeywords[static_cast<std::size_t>(key)]; }
constexpr const char* ScanOf(Key key) { return Of(key).scan; }

namespace detail {

inline constexpr std::size_t kLongest = [] {
  std::size_t n = 0;
  for (const Keyword& k : kKeywords) n = k.word.size() > n ? k.word.size() : n;
  return n;
}();

constexpr bool TableInKeyOrder() {
  if (std::size(kKeywords) != static_cast<std::size_t>(Key::kCount)) return false;
  for (std::size_t i = 0; i < std::size(kKeywords); ++i)
    if (static_cast<std::size_t>(kKeywords[i].key) != i) return false;
  for (std::size_t i = 1; i < std::size(kKeywords); ++i)
    if (kKeywords[i].word.empty() || kKeywords[i].word[0] != '*' || kKeywords[i].readers == 0) return false;
  return true;
}
static_assert(TableInKeyOrder(), "kKeywords lists every Key once, in the enum's order, each with a word and a reader");

// Whether the n bytes at a and b are the same, n known when compiling: in
// overlapping 8- or 4-byte loads, which the compiler keeps in registers (a
// memcmp call per candidate would cost more than the rest of the lookup).
template <std::size_t n>
constexpr bool SameBytes(const char* a, const char* b) {
  if (std::is_constant_evaluated() || n < 4) return std::char_traits<char>::compare(a, b, n) == 0;
  if constexpr (n >= 8) {
    std::uint64_t x, y;
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      if (x != y) return false;
    }
    if constexpr (n % 8 != 0) {
      std::memcpy(&x, a + n - 8, 8);
      std::memcpy(&y, b + n - 8, 8);
      return x == y;
    }
    return true;
  } else {
    std::uint32_t x, y, z, w;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    std::memcpy(&z, a + n - 4, 4);
    std::memcpy(&w, b + n - 4, 4);
    return x == y && z == w;
  }
}

// The word against the entries of `readers`, each comparison with the
// entry's length known when compiling: the readers ask this of every line.
template <std::uint8_t readers, std::size_t... I>
constexpr Key FindAmong(std::string_view word, std::index_sequence<I...>) {
  Key found = Key::kNone;
  (void)(((kKeywords[I + 1].readers & readers) != 0 && word.size() == kKeywords[I + 1].word.size() &&
                  SameBytes<kKeywords[I + 1].word.size()>(word.data(), kKeywords[I + 1].word.data())
              ? (found = kKeywords[I + 1].key, true)
              : false) ||
         ...);
  return found;
}

}  // namespace detail

// The key of a line's keyword (LineReader::Keyword()); Key::kNone for any
// other word.
constexpr Key Find(std::string_view word) {
  if (word.size() > detail::kLongest || word.size() < 5 || word[0] != '*') return Key::kNone;
  return detail::FindAmong<0xFF>(word, std::make_index_sequence<std::size(kKeywords) - 1>{});
}

// Find, for the keywords one reader takes: Key::kNone for the others, so a
// reader's switch never meets a key that is not its own.
constexpr Key FindFor(std::uint8_t reader, std::string_view word) {
  const Key key = Find(word);
  return (Of(key).readers & reader) != 0 ? key : Key::kNone;
}

// The same for a reader known when compiling, which compares the word with
// its own keywords only (the form the readers' loops use).
template <std::uint8_t reader>
constexpr Key FindFor(std::string_view word) {
  if (word.size() > detail::kLongest || word.size() < 5 || word[0] != '*') return Key::kNone;
  return detail::FindAmong<reader>(word, std::make_index_sequence<std::size(kKeywords) - 1>{});
}

}  // namespace tarn::formats::ase
