// MeshObject: one loaded mesh. It owns its DrawRecord (what the scene
// draws: the expanded triangle list) and the indexed form it was expanded
// from: positions and texture vertices, each with its own 16-bit triangle
// index lists. Houses and the terrain also carry a material list.
//
// The mesh model file ("%d.t3m", see formats/ModelFileFormat.h) is read by
// LoadModelFile. Choices of ours, where the format leaves a case open:
//   - a file that cannot be opened, or that is not a regular file (a FIFO,
//     a device, a folder), leaves the mesh empty (0 vertices) and writes an
//     "Error: " line naming it to the log;
//   - memory follows the lines actually read, never a count a line declares:
//     a count only bounds the indices that later lines may use (by what the
//     input can hold, since every counted item needs a line of its own, so no
//     count may exceed the input's bytes / kMinCountedLine; positions and
//     texture vertices also by the 16-bit index limit, 65536); a count over
//     a bound is cut to it and logged, a negative count reads as 0;
//   - positions and texture vertices grow to the highest index met; faces
//     and texture faces are kept as the lines that gave them, and Expand
//     draws the faces present, in index order (a later line of the same
//     index replaces the earlier one): a face the file declares but never
//     gives draws nothing, as its degenerate triangle would have;
//   - a mesh whose arrays would pass memoryLimit bytes stops taking lines,
//     logs it and is left empty (the world's budget holds for each object);
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

  // Builds the DrawRecord's triangle list from the lines read, with face
  // normals (rules above). `name` names the mesh in a log line about memory.
  void Expand(const char* name = "", const LoadLog& log = {});
  // Frees every array: the mesh draws nothing.
  void Empty();

  // The lines' values, as the readers met them (indices checked against the
  // counts here); false once the mesh is over its memory limit.
  bool PutPosition(std::int32_t i, float x, float y, float z);
  bool PutTexVertex(std::int32_t i, float u, float v);
  bool PutFace(std::int32_t i, int a, int b, int c);
  bool PutTexFace(std::int32_t i, int a, int b, int c);
  bool OverLimit() const { return overLimit_; }

  // Bounds a count read from a line (see above); logs when it cuts.
  std::int32_t BoundCount(std::int32_t n, std::int64_t limit, std::size_t inputBytes, const char* name,
                          long long line, const LoadLog& log) const;

  // A count line: sets the count and empties its array (no memory is taken
  // for what the count declares).
  void SetPositionCount(std::int32_t n);
  void SetFaceCount(std::int32_t n);
  void SetTexVertexCount(std::int32_t n);
  void SetTexFaceCount(std::int32_t n);

  DrawRecord drawRecord;
  std::vector<MeshVertex> positions;
  std::vector<MeshVertex> texVertices;  // tu, tv in the first two numbers (x, y)
  // After Expand: the corners of the faces drawn (three per face, in index
  // order), and of the texture faces read.
  std::vector<std::uint16_t> faceIndices;
  std::vector<std::uint16_t> texFaceIndices;
  std::int32_t positionCount = 0;
  std::int32_t faceCount = 0;
  std::int32_t texVertexCount = 0;
  std::int32_t texFaceCount = 0;
  std::vector<AseMaterial> materials;  // houses and terrain only

  std::vector<MeshVertex> vertices;  // what drawRecord.vertices points into
  std::string nodeName;              // what drawRecord.nodeName points at
  std::size_t memoryLimit = SIZE_MAX;  // bytes the arrays may hold (set by the world)

 private:
  // One FACE/TFACE line: its index and its corners as stored (a, c, b).
  struct FaceLine {
    std::int32_t index;
    std::uint16_t corner[3];
  };
  template <class T>
  bool Room(const std::vector<T>& grows, std::size_t more);
  std::vector<FaceLine> faceLines_, texFaceLines_;
  bool overLimit_ = false;
};

// Removes the first and the last character of a word in place (a word of
// one character becomes empty; an empty word stays empty).
void StripQuotes(char* word);

// "<name>: cannot open the <what>", with the reason when the file is there
// but could not be opened (errno as the open left it).
void LogCannotOpen(const LoadLog& log, const char* name, const char* what);

// A face normal for corners a, b, c in drawing order.
void FaceNormal(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c, float& nx, float& ny, float& nz);
