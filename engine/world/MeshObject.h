// MeshObject: one loaded mesh, as the readers build it. It owns its
// DrawRecord (what the scene draws: the expanded triangle list) and the
// indexed form it was expanded from: positions and texture vertices, each
// with its own 16-bit triangle index lists. Houses and the terrain also
// carry a material list. The readers that fill it are functions of their
// own: the model file in ModelFileReader.h, the ASE house in AseReader.h,
// with the count rule and the log lines in ReaderFile.h.
//
// Choices of ours, the same for every reader:
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
//   - a mesh whose arrays would pass the memory limit stops taking lines,
//     logs it and is left empty (the world's budget holds for each object);
//   - a position, face, texture vertex or texture face whose index lies
//     outside its count (or comes before its count) is skipped;
//   - a corner naming no position, or no texture vertex, expands to
//     coordinates 0; a triangle without a texture triangle gets texture
//     coordinates 0;
//   - every expanded vertex gets its triangle's face normal (left-handed:
//     the normal faces the side from which the corners run clockwise), so
//     the lit device shows the shape; a degenerate triangle gets (0, 1, 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/scene/DrawRecord.h"
#include "engine/scene/MeshVertex.h"

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

  // Bytes held by the arrays (what a world's memory budget counts), and the
  // most they may hold (set by the world before a reader runs).
  std::size_t MemoryBytes() const;
  void SetMemoryLimit(std::size_t bytes) { memoryLimit_ = bytes; }
  std::size_t MemoryLimit() const { return memoryLimit_; }

  // Builds the DrawRecord's triangle list from the lines read, with face
  // normals (rules above). False, and the mesh left empty, when it is over
  // its memory limit (the reader says so: engine/world/ReaderFile.h).
  bool Expand();
  // Frees every array: the mesh draws nothing.
  void Empty();

  // The lines' values, as the readers met them (indices checked against the
  // counts here); false once the mesh is over its memory limit.
  bool PutPosition(std::int32_t i, float x, float y, float z);
  bool PutTexVertex(std::int32_t i, float u, float v);
  bool PutFace(std::int32_t i, int a, int b, int c);
  bool PutTexFace(std::int32_t i, int a, int b, int c);
  bool OverLimit() const { return overLimit_; }

  // A count line: sets the count and empties its array (no memory is taken
  // for what the count declares).
  void SetPositionCount(std::int32_t n);
  void SetFaceCount(std::int32_t n);
  void SetTexVertexCount(std::int32_t n);
  void SetTexFaceCount(std::int32_t n);

  // An indexed mesh given whole (the terrain): the positions and their
  // triangles (three corners each); the drawn list is the corners in order,
  // each a copy of its position, normals included.
  void SetIndexed(std::vector<MeshVertex> positions, std::vector<std::uint16_t> faceIndices);

  // The name the scene shows for the mesh (drawRecord.nodeName points at it).
  void SetNodeName(const char* name);
  // A new material list of n materials without bitmaps; SetMaterialBitmap
  // skips an index outside it.
  void ResetMaterials(std::size_t n);
  void SetMaterialBitmap(std::int32_t index, const char* bitmap);

  const std::vector<MeshVertex>& Positions() const { return positions_; }
  const std::vector<MeshVertex>& TexVertices() const { return texVertices_; }  // tu, tv in x, y
  // After Expand: the corners of the faces drawn (three per face, in index
  // order), and of the texture faces read.
  const std::vector<std::uint16_t>& FaceIndices() const { return faceIndices_; }
  const std::vector<std::uint16_t>& TexFaceIndices() const { return texFaceIndices_; }
  const std::vector<MeshVertex>& Vertices() const { return vertices_; }  // what drawRecord.vertices points into
  const std::vector<AseMaterial>& Materials() const { return materials_; }  // houses and terrain only
  std::int32_t PositionCount() const { return positionCount_; }
  std::int32_t FaceCount() const { return faceCount_; }
  std::int32_t TexVertexCount() const { return texVertexCount_; }
  std::int32_t TexFaceCount() const { return texFaceCount_; }

  // What the scene draws; the world sets its kind and material.
  DrawRecord drawRecord;

 private:
  // One FACE/TFACE line: its index and its corners as stored (a, c, b).
  struct FaceLine {
    std::int32_t index;
    std::uint16_t corner[3];
  };
  template <class T>
  bool Room(const std::vector<T>& grows, std::size_t more);

  std::vector<MeshVertex> positions_;
  std::vector<MeshVertex> texVertices_;
  std::vector<std::uint16_t> faceIndices_;
  std::vector<std::uint16_t> texFaceIndices_;
  std::int32_t positionCount_ = 0;
  std::int32_t faceCount_ = 0;
  std::int32_t texVertexCount_ = 0;
  std::int32_t texFaceCount_ = 0;
  std::vector<AseMaterial> materials_;
  std::vector<MeshVertex> vertices_;
  std::string nodeName_;
  std::size_t memoryLimit_ = SIZE_MAX;
  std::vector<FaceLine> faceLines_, texFaceLines_;
  bool overLimit_ = false;
};

// A face normal for corners a, b, c in drawing order.
void FaceNormal(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c, float& nx, float& ny, float& nz);
