// MeshObject: one loaded mesh. It owns its DrawRecord (what the scene
// draws: the expanded triangle list) and the indexed form it was expanded
// from: positions and texture vertices, each with its own 16-bit triangle
// index lists. Houses and the terrain also carry a material list.
//
// The mesh model file ("%d.t3m", see formats/ModelFileFormat.h) is read by
// LoadModelFile. Choices of ours, where the format leaves a case open:
//   - a file that cannot be opened leaves the mesh empty (0 vertices) and
//     writes an "Error: " line naming it to the log;
//   - counts are bounded before anything is allocated: by what the input
//     can hold (every counted item needs a line of its own, so no count may
//     exceed the input's bytes / kMinCountedLine), and positions and texture
//     vertices by the 16-bit index limit (65536); a count over a bound is
//     cut to it and logged, a negative count reads as 0;
//   - while reading, the index arrays grow to the highest index met (a count
//     line only empties them), so a file of a thousand count lines costs no
//     more than one; Expand then sizes every array to its count;
//   - a VERTEX/FACE/TVERTEX/TFACE line whose index lies outside its count
//     (or comes before its count line) is skipped;
//   - a corner naming no position, or no texture vertex, expands to
//     coordinates 0; a triangle without a texture triangle gets texture
//     coordinates 0;
//   - every expanded vertex gets its triangle's face normal (left-handed:
//     the normal faces the side from which the corners run clockwise), so
//     the lit device shows the shape; a degenerate triangle gets (0, 1, 0);
//   - referencePoint and materialIndex are 0 without "Pos" and "MatID".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/scene/DrawRecord.h"
#include "engine/log/TarnLog.h"
#include "engine/scene/MeshVertex.h"
#include "formats/LineReader.h"

class SceneNode;

struct AseMaterial {
  std::string bitmap;  // the material's bitmap file name, quotes removed
};

class MeshObject {
 public:
  static constexpr std::int32_t kMaxIndexed = 65536;  // what a 16-bit index can name
  static constexpr std::size_t kMinCountedLine = 8;   // bytes: the shortest line a counted item needs

  MeshObject() = default;
  MeshObject(const MeshObject&) = delete;
  MeshObject& operator=(const MeshObject&) = delete;

  // Reads a model file into this mesh. Returns 0 (as the format's reader
  // always did); problems go to the log.
  int LoadModelFile(const char* name, const LoadLog& log = {}, bool* opened = nullptr);
  // The same from a line reader over input of `inputBytes` bytes; `name`
  // only names the input in log lines.
  void ReadModel(tarn::formats::LineReader& reader, std::size_t inputBytes, const char* name, const LoadLog& log);

  // Houses: reads an ASE export (AseReader.cpp has the rules) and attaches
  // drawRecord to `parent` once per mesh block read. Returns 1; a file that
  // cannot be opened attaches nothing and writes an "Error: " line.
  int LoadAseHouse(const char* name, SceneNode* parent, const LoadLog& log = {});
  void ReadAseHouse(tarn::formats::LineReader& reader, std::size_t inputBytes, const char* name, SceneNode* parent,
                    const LoadLog& log);
  // Reads from just after a "*MESH" line to the end of its block and expands
  // it. Returns 0. `hadRow3` tells whether the block held a "*TM_ROW3".
  int ReadAseMesh(tarn::formats::LineReader& reader, std::size_t inputBytes, const char* name, const LoadLog& log,
                  bool* hadRow3 = nullptr);
  // Reads from just after a "*MATERIAL" line to the end of its block.
  int ReadAseMaterial(tarn::formats::LineReader& reader, std::int32_t index);

  // Bytes held by the arrays (what a world's memory budget counts).
  std::size_t MemoryBytes() const;

  // Builds the DrawRecord's triangle list from the index lists, with face
  // normals (rules above).
  void Expand();

  // Bounds a count read from a line (see above); logs when it cuts.
  std::int32_t BoundCount(std::int32_t n, std::int64_t limit, std::size_t inputBytes, const char* name,
                          long line, const LoadLog& log) const;

  // Size the arrays for a count line; the drawn list follows the faces.
  void SetPositionCount(std::int32_t n);
  void SetFaceCount(std::int32_t n);
  void SetTexVertexCount(std::int32_t n);
  void SetTexFaceCount(std::int32_t n);

  DrawRecord drawRecord;
  std::vector<MeshVertex> positions;
  std::vector<MeshVertex> texVertices;  // tu, tv in the first two numbers (x, y)
  std::vector<std::uint16_t> faceIndices;
  std::vector<std::uint16_t> texFaceIndices;
  std::int32_t positionCount = 0;
  std::int32_t faceCount = 0;
  std::int32_t texVertexCount = 0;
  std::int32_t texFaceCount = 0;
  std::vector<AseMaterial> materials;  // houses and terrain only

  std::vector<MeshVertex> vertices;  // what drawRecord.vertices points into
  std::string nodeName;              // what drawRecord.nodeName points at
};

// Removes the first and the last character of a word in place (a word of
// one character becomes empty; an empty word stays empty).
void StripQuotes(char* word);

// A face normal for corners a, b, c in drawing order.
void FaceNormal(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c, float& nx, float& ny, float& nz);
