// The mesh model file reader and the expansion into a drawn triangle list.
#include "engine/world/MeshObject.h"

#include "engine/world/FastFields.h"

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
                                    long line, const LoadLog& log) const {
  if (n < 0) {
    log.Error("%s line %ld: negative count %d read as 0", name, line, n);
    return 0;
  }
  std::int64_t fits = static_cast<std::int64_t>(inputBytes / kMinCountedLine);
  std::int64_t bound = fits < limit ? fits : limit;
  if (n > bound) {
    log.Error("%s line %ld: count %d is more than the file can hold, read as %lld", name, line, n,
              static_cast<long long>(bound));
    return static_cast<std::int32_t>(bound);
  }
  return n;
}

// Count lines reserve what their lines will fill; the counts are bounded
// already, and a vector keeps its capacity, so repeated count lines do not
// allocate again.
void MeshObject::SetPositionCount(std::int32_t n) {
  positionCount = n;
  positions.clear();
  positions.reserve(static_cast<std::size_t>(n));
}
void MeshObject::SetFaceCount(std::int32_t n) {
  faceCount = n;
  drawRecord.vertexCount = 3 * n;
  faceIndices.clear();
  faceIndices.reserve(3 * static_cast<std::size_t>(n));
}
void MeshObject::SetTexVertexCount(std::int32_t n) {
  texVertexCount = n;
  texVertices.clear();
  texVertices.reserve(static_cast<std::size_t>(n));
}
void MeshObject::SetTexFaceCount(std::int32_t n) {
  texFaceCount = n;
  texFaceIndices.clear();
  texFaceIndices.reserve(3 * static_cast<std::size_t>(n));
}

namespace {

template <class T>
T& GrowTo(std::vector<T>& v, std::size_t index) {
  if (index >= v.size()) v.resize(index + 1, T{});
  return v[index];
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
      const long at = reader.LineNumber();
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
      tarn::world::ScanIndexReals3(line, i, x, y, z);
      if (i < 0 || i >= positionCount) continue;
      MeshVertex& p = GrowTo(positions, static_cast<std::size_t>(i));
      p.x = x, p.y = y, p.z = z;
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
      tarn::world::ScanIndexInts3(line, i, a, b, c);
      const bool face = key == model::kFace;
      if (i < 0 || i >= (face ? faceCount : texFaceCount)) continue;
      std::vector<std::uint16_t>& list = face ? faceIndices : texFaceIndices;
      const std::size_t at = 3 * static_cast<std::size_t>(i);
      GrowTo(list, at + 2);
      list[at] = static_cast<std::uint16_t>(a);
      list[at + 1] = static_cast<std::uint16_t>(c);
      list[at + 2] = static_cast<std::uint16_t>(b);
    } else if (key == model::kTVertex) {
      // TVERTEX i u w v
      int i = 0;
      float u = 0.0f, w = 0.0f, v = 0.0f;
      tarn::world::ScanIndexReals3(line, i, u, w, v);
      if (i < 0 || i >= texVertexCount) continue;
      MeshVertex& t = GrowTo(texVertices, static_cast<std::size_t>(i));
      t.x = u;
      t.y = 1.0f - v;
    } else if (key == model::kMatId) {
      // MatID index
      fmt::ScanLine(line, model::kReadCount, word, &drawRecord.materialIndex);
    }
  }
  Expand();
}

void MeshObject::Expand() {
  positions.resize(static_cast<std::size_t>(positionCount), MeshVertex{});
  texVertices.resize(static_cast<std::size_t>(texVertexCount), MeshVertex{});
  faceIndices.resize(3 * static_cast<std::size_t>(faceCount), 0);
  texFaceIndices.resize(3 * static_cast<std::size_t>(texFaceCount), 0);
  const std::size_t corners = 3 * static_cast<std::size_t>(faceCount);
  vertices.assign(corners, MeshVertex{});
  for (std::size_t k = 0; k < corners; ++k) {
    MeshVertex& out = vertices[k];
    const std::uint16_t p = faceIndices[k];
    if (p < positions.size()) out.x = positions[p].x, out.y = positions[p].y, out.z = positions[p].z;
    if (k < texFaceIndices.size()) {
      const std::uint16_t t = texFaceIndices[k];
      if (t < texVertices.size()) out.tu = texVertices[t].x, out.tv = texVertices[t].y;
    }
  }
  for (std::size_t k = 0; k + 2 < corners; k += 3) {
    float nx, ny, nz;
    FaceNormal(vertices[k], vertices[k + 1], vertices[k + 2], nx, ny, nz);
    for (std::size_t c = k; c < k + 3; ++c) vertices[c].nx = nx, vertices[c].ny = ny, vertices[c].nz = nz;
  }
  drawRecord.vertices = vertices.empty() ? nullptr : vertices.data();
  drawRecord.vertexCount = static_cast<std::int32_t>(corners);
}

std::size_t MeshObject::MemoryBytes() const {
  return sizeof(MeshVertex) * (positions.capacity() + texVertices.capacity() + vertices.capacity()) +
         sizeof(std::uint16_t) * (faceIndices.capacity() + texFaceIndices.capacity()) + sizeof(*this);
}

int MeshObject::LoadModelFile(const char* name, const LoadLog& log, bool* opened) {
  std::FILE* f = tarn::files::AnsiFopen(name, "rt");
  if (opened != nullptr) *opened = f != nullptr;
  if (f == nullptr) {
    log.Error("%s: cannot open the model file", name);
    return 0;
  }
  long long size = 0;
  std::size_t bytes = 0;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    size = std::ftell(f);
    bytes = size > 0 ? static_cast<std::size_t>(size) : 0;
  }
  std::rewind(f);
  fmt::LineReader reader(f);
  ReadModel(reader, bytes, name, log);
  std::fclose(f);
  return 0;
}
