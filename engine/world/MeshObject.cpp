// The mesh builder: what the readers put, the memory it takes, and the
// expansion into a drawn triangle list.
#include "engine/world/MeshObject.h"

#include <algorithm>
#include <cmath>
#include <utility>

void FaceNormal(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c, float& nx, float& ny, float& nz) {
  const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  float x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
  const float length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 1e-20f) || !std::isfinite(length)) {
    nx = 0.0f, ny = 1.0f, nz = 0.0f;
    return;
  }
  nx = x / length, ny = y / length, nz = z / length;
}

// Count lines take no memory: a count is a promise of the file, and the
// arrays grow only as lines keep it.
void MeshObject::SetPositionCount(std::int32_t n) {
  positionCount_ = n;
  positions_.clear();
}
void MeshObject::SetFaceCount(std::int32_t n) {
  faceCount_ = n;
  faceIndices_.clear();
  faceLines_.clear();
}
void MeshObject::SetTexVertexCount(std::int32_t n) {
  texVertexCount_ = n;
  texVertices_.clear();
}
void MeshObject::SetTexFaceCount(std::int32_t n) {
  texFaceCount_ = n;
  texFaceIndices_.clear();
  texFaceLines_.clear();
}

// True when `grows` may take `more` elements within the memory limit; a
// vector about to reallocate doubles, so that is what is counted.
template <class T>
bool MeshObject::Room(const std::vector<T>& grows, std::size_t more) {
  if (overLimit_) return false;
  const std::size_t need = grows.size() + more;
  if (need <= grows.capacity()) return true;
  const std::size_t grown = need > 2 * grows.capacity() ? need : 2 * grows.capacity();
  const std::size_t added = (grown - grows.capacity()) * sizeof(T);
  if (MemoryBytes() + added > memoryLimit_) overLimit_ = true;
  return !overLimit_;
}

bool MeshObject::PutPosition(std::int32_t i, float x, float y, float z) {
  if (i < 0 || i >= positionCount_) return !overLimit_;
  const std::size_t at = static_cast<std::size_t>(i);
  if (at >= positions_.size()) {
    if (!Room(positions_, at + 1 - positions_.size())) return false;
    positions_.resize(at + 1, MeshVertex{});
  }
  MeshVertex& p = positions_[at];
  p.x = x, p.y = y, p.z = z;
  return true;
}

bool MeshObject::PutTexVertex(std::int32_t i, float u, float v) {
  if (i < 0 || i >= texVertexCount_) return !overLimit_;
  const std::size_t at = static_cast<std::size_t>(i);
  if (at >= texVertices_.size()) {
    if (!Room(texVertices_, at + 1 - texVertices_.size())) return false;
    texVertices_.resize(at + 1, MeshVertex{});
  }
  MeshVertex& t = texVertices_[at];
  t.x = u;
  t.y = v;
  return true;
}

bool MeshObject::PutFace(std::int32_t i, int a, int b, int c) {
  if (i < 0 || i >= faceCount_) return !overLimit_;
  if (!Room(faceLines_, 1)) return false;
  faceLines_.push_back(FaceLine{i, {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(b)}});
  return true;
}

bool MeshObject::PutTexFace(std::int32_t i, int a, int b, int c) {
  if (i < 0 || i >= texFaceCount_) return !overLimit_;
  if (!Room(texFaceLines_, 1)) return false;
  texFaceLines_.push_back(FaceLine{i, {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(b)}});
  return true;
}

namespace {

// Orders face lines by index, keeping only the last line of each index.
template <class Line>
void SortKeepingLast(std::vector<Line>& lines) {
  std::stable_sort(lines.begin(), lines.end(), [](const Line& x, const Line& y) { return x.index < y.index; });
  std::size_t out = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i + 1 < lines.size() && lines[i + 1].index == lines[i].index) continue;
    lines[out++] = lines[i];
  }
  lines.resize(out);
}

}  // namespace

bool MeshObject::Expand() {
  SortKeepingLast(faceLines_);
  SortKeepingLast(texFaceLines_);
  const std::size_t corners = 3 * faceLines_.size();
  if (!overLimit_ && MemoryBytes() + corners * (sizeof(MeshVertex) + 2 * sizeof(std::uint16_t)) > memoryLimit_)
    overLimit_ = true;
  if (overLimit_) {
    Empty();
    return false;
  }
  faceIndices_.assign(corners, 0);
  texFaceIndices_.assign(3 * texFaceLines_.size(), 0);
  for (std::size_t t = 0; t < texFaceLines_.size(); ++t)
    for (int k = 0; k < 3; ++k) texFaceIndices_[3 * t + static_cast<std::size_t>(k)] = texFaceLines_[t].corner[k];
  vertices_.assign(corners, MeshVertex{});
  std::size_t t = 0;  // the texture face of the same index, found by walking both sorted lists
  for (std::size_t f = 0; f < faceLines_.size(); ++f) {
    const FaceLine& face = faceLines_[f];
    while (t < texFaceLines_.size() && texFaceLines_[t].index < face.index) ++t;
    const FaceLine* tex = t < texFaceLines_.size() && texFaceLines_[t].index == face.index ? &texFaceLines_[t] : nullptr;
    for (int k = 0; k < 3; ++k) {
      MeshVertex& out = vertices_[3 * f + static_cast<std::size_t>(k)];
      const std::uint16_t p = face.corner[k];
      faceIndices_[3 * f + static_cast<std::size_t>(k)] = p;
      if (p < positions_.size()) out.x = positions_[p].x, out.y = positions_[p].y, out.z = positions_[p].z;
      if (tex != nullptr && tex->corner[k] < texVertices_.size())
        out.tu = texVertices_[tex->corner[k]].x, out.tv = texVertices_[tex->corner[k]].y;
    }
  }
  // The lines are in the arrays now.
  faceLines_ = std::vector<FaceLine>();
  texFaceLines_ = std::vector<FaceLine>();
  for (std::size_t k = 0; k + 2 < corners; k += 3) {
    float nx, ny, nz;
    FaceNormal(vertices_[k], vertices_[k + 1], vertices_[k + 2], nx, ny, nz);
    for (std::size_t c = k; c < k + 3; ++c) vertices_[c].nx = nx, vertices_[c].ny = ny, vertices_[c].nz = nz;
  }
  drawRecord.vertices = vertices_.empty() ? nullptr : vertices_.data();
  drawRecord.vertexCount = static_cast<std::int32_t>(corners);
  return true;
}

void MeshObject::Empty() {
  positions_ = std::vector<MeshVertex>();
  texVertices_ = std::vector<MeshVertex>();
  faceIndices_ = std::vector<std::uint16_t>();
  texFaceIndices_ = std::vector<std::uint16_t>();
  vertices_ = std::vector<MeshVertex>();
  faceLines_ = std::vector<FaceLine>();
  texFaceLines_ = std::vector<FaceLine>();
  drawRecord.vertices = nullptr;
  drawRecord.vertexCount = 0;
}

void MeshObject::SetIndexed(std::vector<MeshVertex> positions, std::vector<std::uint16_t> faceIndices) {
  SetPositionCount(static_cast<std::int32_t>(positions.size()));
  SetFaceCount(static_cast<std::int32_t>(faceIndices.size() / 3));
  positions_ = std::move(positions);
  faceIndices_ = std::move(faceIndices);
  const std::size_t k = faceIndices_.size();
  vertices_.resize(k);
  for (std::size_t i = 0; i < k; ++i) vertices_[i] = positions_[faceIndices_[i]];
  drawRecord.vertices = vertices_.empty() ? nullptr : vertices_.data();
  drawRecord.vertexCount = static_cast<std::int32_t>(k);
}

void MeshObject::SetNodeName(const char* name) {
  nodeName_ = name;
  drawRecord.nodeName = nodeName_.c_str();
}

void MeshObject::ResetMaterials(std::size_t n) { materials_.assign(n, AseMaterial{}); }

void MeshObject::SetMaterialBitmap(std::int32_t index, const char* bitmap) {
  if (index >= 0 && static_cast<std::size_t>(index) < materials_.size()) materials_[static_cast<std::size_t>(index)].bitmap = bitmap;
}

std::size_t MeshObject::MemoryBytes() const {
  return sizeof(MeshVertex) * (positions_.capacity() + texVertices_.capacity() + vertices_.capacity()) +
         sizeof(std::uint16_t) * (faceIndices_.capacity() + texFaceIndices_.capacity()) +
         sizeof(FaceLine) * (faceLines_.capacity() + texFaceLines_.capacity()) + sizeof(*this);
}
