// The mesh model file reader and the expansion into a drawn triangle list.
#include "engine/world/MeshObject.h"


#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "formats/LineScan.h"
#include "formats/ModelFileFormat.h"
#include "platform/files/AnsiFile.h"

namespace fmt = tarn::formats;
namespace model = tarn::formats::model;

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

std::int32_t MeshObject::BoundCount(std::int32_t n, std::int64_t limit, std::size_t inputBytes, const char* name,
                                    long long line, const LoadLog& log) const {
  if (n < 0) {
    log.Error("%s line %lld: negative count %d read as 0", name, line, n);
    return 0;
  }
  std::int64_t fits = static_cast<std::int64_t>(inputBytes / kMinCountedLine);
  std::int64_t bound = fits < limit ? fits : limit;
  if (n > bound) {
    log.Error("%s line %lld: count %d is more than the file can hold, read as %lld", name, line, n,
              static_cast<long long>(bound));
    return static_cast<std::int32_t>(bound);
  }
  return n;
}

// Count lines take no memory: a count is a promise of the file, and the
// arrays grow only as lines keep it.
void MeshObject::SetPositionCount(std::int32_t n) {
  positionCount = n;
  positions.clear();
}
void MeshObject::SetFaceCount(std::int32_t n) {
  faceCount = n;
  faceIndices.clear();
  faceLines_.clear();
}
void MeshObject::SetTexVertexCount(std::int32_t n) {
  texVertexCount = n;
  texVertices.clear();
}
void MeshObject::SetTexFaceCount(std::int32_t n) {
  texFaceCount = n;
  texFaceIndices.clear();
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
  if (MemoryBytes() + added > memoryLimit) overLimit_ = true;
  return !overLimit_;
}

bool MeshObject::PutPosition(std::int32_t i, float x, float y, float z) {
  if (i < 0 || i >= positionCount) return !overLimit_;
  const std::size_t at = static_cast<std::size_t>(i);
  if (at >= positions.size()) {
    if (!Room(positions, at + 1 - positions.size())) return false;
    positions.resize(at + 1, MeshVertex{});
  }
  MeshVertex& p = positions[at];
  p.x = x, p.y = y, p.z = z;
  return true;
}

bool MeshObject::PutTexVertex(std::int32_t i, float u, float v) {
  if (i < 0 || i >= texVertexCount) return !overLimit_;
  const std::size_t at = static_cast<std::size_t>(i);
  if (at >= texVertices.size()) {
    if (!Room(texVertices, at + 1 - texVertices.size())) return false;
    texVertices.resize(at + 1, MeshVertex{});
  }
  MeshVertex& t = texVertices[at];
  t.x = u;
  t.y = v;
  return true;
}

bool MeshObject::PutFace(std::int32_t i, int a, int b, int c) {
  if (i < 0 || i >= faceCount) return !overLimit_;
  if (!Room(faceLines_, 1)) return false;
  faceLines_.push_back(FaceLine{i, {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(b)}});
  return true;
}

bool MeshObject::PutTexFace(std::int32_t i, int a, int b, int c) {
  if (i < 0 || i >= texFaceCount) return !overLimit_;
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

void MeshObject::ReadModel(fmt::LineReader& reader, std::size_t inputBytes, const char* name, const LoadLog& log) {
  char word[fmt::LineReader::kLineBuffer];
  bool firstVertex = true;
  while (reader.NextKeywordLine()) {
    const std::string_view key = reader.Keyword();
    const std::string_view line = reader.Line();
    if (key == model::kEnd) break;
    if (key == model::kPos) {
      // Pos x y z
      fmt::ScanLine(line, model::kReadReals3, word, &drawRecord.referencePoint.x, &drawRecord.referencePoint.y,
                    &drawRecord.referencePoint.z);
    } else if (key == model::kNumVertex || key == model::kNumFace || key == model::kNumTVertex ||
               key == model::kNumTFace) {
      // Num<...> count
      int n = 0;
      fmt::ScanLine(line, model::kReadCount, word, &n);
      const long long at = reader.LineNumber();
      if (key == model::kNumVertex) {
        SetPositionCount(BoundCount(n, kMaxIndexed, inputBytes, name, at, log));
      } else if (key == model::kNumFace) {
        SetFaceCount(BoundCount(n, INT32_MAX / 3, inputBytes, name, at, log));
      } else if (key == model::kNumTVertex) {
        SetTexVertexCount(BoundCount(n, kMaxIndexed, inputBytes, name, at, log));
      } else {
        SetTexFaceCount(BoundCount(n, INT32_MAX / 3, inputBytes, name, at, log));
      }
    } else if (key == model::kVertex) {
      // VERTEX i x y z
      int i = 0;
      float x = 0.0f, y = 0.0f, z = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, x, y, z);
      if (i < 0 || i >= positionCount) continue;
      if (!PutPosition(i, x, y, z)) break;
      if (firstVertex) {
        drawRecord.maxPoint = Vector3{x, y, z};
        firstVertex = false;
      } else {
        if (x > drawRecord.maxPoint.x) drawRecord.maxPoint.x = x;
        if (y > drawRecord.maxPoint.y) drawRecord.maxPoint.y = y;
        if (z > drawRecord.maxPoint.z) drawRecord.maxPoint.z = z;
      }
    } else if (key == model::kFace || key == model::kTFace) {
      // FACE i a b c / TFACE i a b c: stored a, c, b (the winding reversed)
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanIndexInts3(reader.AfterKeyword(), i, a, b, c);
      if (!(key == model::kFace ? PutFace(i, a, b, c) : PutTexFace(i, a, b, c))) break;
    } else if (key == model::kTVertex) {
      // TVERTEX i u w v
      int i = 0;
      float u = 0.0f, w = 0.0f, v = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, u, w, v);
      if (!PutTexVertex(i, u, 1.0f - v)) break;
    } else if (key == model::kMatId) {
      // MatID index
      fmt::ScanLine(line, model::kReadCount, word, &drawRecord.materialIndex);
    }
  }
  Expand(name, log);
}

void MeshObject::Expand(const char* name, const LoadLog& log) {
  SortKeepingLast(faceLines_);
  SortKeepingLast(texFaceLines_);
  const std::size_t corners = 3 * faceLines_.size();
  if (!overLimit_ && MemoryBytes() + corners * (sizeof(MeshVertex) + 2 * sizeof(std::uint16_t)) > memoryLimit)
    overLimit_ = true;
  if (overLimit_) {
    log.Error("%s: more than the %zu MB of memory left for meshes; not loaded", name, memoryLimit >> 20);
    Empty();
    return;
  }
  faceIndices.assign(corners, 0);
  texFaceIndices.assign(3 * texFaceLines_.size(), 0);
  for (std::size_t t = 0; t < texFaceLines_.size(); ++t)
    for (int k = 0; k < 3; ++k) texFaceIndices[3 * t + static_cast<std::size_t>(k)] = texFaceLines_[t].corner[k];
  vertices.assign(corners, MeshVertex{});
  std::size_t t = 0;  // the texture face of the same index, found by walking both sorted lists
  for (std::size_t f = 0; f < faceLines_.size(); ++f) {
    const FaceLine& face = faceLines_[f];
    while (t < texFaceLines_.size() && texFaceLines_[t].index < face.index) ++t;
    const FaceLine* tex = t < texFaceLines_.size() && texFaceLines_[t].index == face.index ? &texFaceLines_[t] : nullptr;
    for (int k = 0; k < 3; ++k) {
      MeshVertex& out = vertices[3 * f + static_cast<std::size_t>(k)];
      const std::uint16_t p = face.corner[k];
      faceIndices[3 * f + static_cast<std::size_t>(k)] = p;
      if (p < positions.size()) out.x = positions[p].x, out.y = positions[p].y, out.z = positions[p].z;
      if (tex != nullptr && tex->corner[k] < texVertices.size())
        out.tu = texVertices[tex->corner[k]].x, out.tv = texVertices[tex->corner[k]].y;
    }
  }
  // The lines are in the arrays now.
  faceLines_ = std::vector<FaceLine>();
  texFaceLines_ = std::vector<FaceLine>();
  for (std::size_t k = 0; k + 2 < corners; k += 3) {
    float nx, ny, nz;
    FaceNormal(vertices[k], vertices[k + 1], vertices[k + 2], nx, ny, nz);
    for (std::size_t c = k; c < k + 3; ++c) vertices[c].nx = nx, vertices[c].ny = ny, vertices[c].nz = nz;
  }
  drawRecord.vertices = vertices.empty() ? nullptr : vertices.data();
  drawRecord.vertexCount = static_cast<std::int32_t>(corners);
}

void MeshObject::Empty() {
  positions = std::vector<MeshVertex>();
  texVertices = std::vector<MeshVertex>();
  faceIndices = std::vector<std::uint16_t>();
  texFaceIndices = std::vector<std::uint16_t>();
  vertices = std::vector<MeshVertex>();
  faceLines_ = std::vector<FaceLine>();
  texFaceLines_ = std::vector<FaceLine>();
  drawRecord.vertices = nullptr;
  drawRecord.vertexCount = 0;
}

std::size_t MeshObject::MemoryBytes() const {
  return sizeof(MeshVertex) * (positions.capacity() + texVertices.capacity() + vertices.capacity()) +
         sizeof(std::uint16_t) * (faceIndices.capacity() + texFaceIndices.capacity()) +
         sizeof(FaceLine) * (faceLines_.capacity() + texFaceLines_.capacity()) + sizeof(*this);
}

int MeshObject::LoadModelFile(const char* name, const LoadLog& log, bool* opened) {
  long long size = 0;
  std::FILE* f = tarn::files::AnsiFopen(name, "rt", &size);
  if (opened != nullptr) *opened = f != nullptr;
  if (f == nullptr) {
    LogCannotOpen(log, name, "model file");
    return 0;
  }
  struct Closer {
    std::FILE* f;
    ~Closer() { std::fclose(f); }
  } closer{f};
  fmt::LineReader reader(f);
  ReadModel(reader, size > 0 ? static_cast<std::size_t>(size) : 0, name, log);
  return 0;
}

void LogCannotOpen(const LoadLog& log, const char* name, const char* what) {
  if (errno == ENOENT)
    log.Error("%s: cannot open the %s", name, what);
  else
    log.Error("%s: cannot open the %s: %s", name, what, tarn::files::LastErrorText().c_str());
}
