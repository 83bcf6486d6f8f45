// The mesh model file reader.
#include "engine/world/ModelFileReader.h"

#include <cstdint>

#include "engine/world/ReaderFile.h"
#include "formats/LineScan.h"
#include "formats/ModelFileFormat.h"

namespace fmt = tarn::formats;
namespace model = tarn::formats::model;

namespace {

// The mesh counts the model file's count lines declare.
bool ModelCount(std::string_view key, MeshCount& which) {
  if (key == model::kNumVertex)
    which = MeshCount::kPositions;
  else if (key == model::kNumFace)
    which = MeshCount::kFaces;
  else if (key == model::kNumTVertex)
    which = MeshCount::kTexVertices;
  else if (key == model::kNumTFace)
    which = MeshCount::kTexFaces;
  else
    return false;
  return true;
}

}  // namespace

void ReadModelFile(fmt::LineReader& reader, std::size_t inputBytes, const char* name, MeshObject& mesh,
                   const LoadLog& log) {
  char word[fmt::LineReader::kLineBuffer];
  const MeshInput input{name, inputBytes, log};
  bool firstVertex = true;
  while (reader.NextKeywordLine()) {
    const std::string_view key = reader.Keyword();
    const std::string_view line = reader.Line();
    if (key == model::kEnd) break;
    if (key == model::kPos) {
      // Pos x y z
      fmt::ScanLine(line, model::kReadReals3, word, &mesh.drawRecord.referencePoint.x, &mesh.drawRecord.referencePoint.y,
                    &mesh.drawRecord.referencePoint.z);
    } else if (MeshCount count; ModelCount(key, count)) {
      // Num<...> count
      int n = 0;
      fmt::ScanLine(line, model::kReadCount, word, &n);
      ReadCountLine(mesh, count, n, input, reader.LineNumber());
    } else if (key == model::kVertex) {
      // VERTEX i x y z
      int i = 0;
      float x = 0.0f, y = 0.0f, z = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, x, y, z);
      if (i < 0 || i >= mesh.PositionCount()) continue;
      if (!mesh.PutPosition(i, x, y, z)) break;
      if (firstVertex) {
        mesh.drawRecord.maxPoint = Vector3{x, y, z};
        firstVertex = false;
      } else {
        if (x > mesh.drawRecord.maxPoint.x) mesh.drawRecord.maxPoint.x = x;
        if (y > mesh.drawRecord.maxPoint.y) mesh.drawRecord.maxPoint.y = y;
        if (z > mesh.drawRecord.maxPoint.z) mesh.drawRecord.maxPoint.z = z;
      }
    } else if (key == model::kFace || key == model::kTFace) {
      // FACE i a b c / TFACE i a b c: stored a, c, b (the winding reversed)
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanIndexInts3(reader.AfterKeyword(), i, a, b, c);
      if (!(key == model::kFace ? mesh.PutFace(i, a, b, c) : mesh.PutTexFace(i, a, b, c))) break;
    } else if (key == model::kTVertex) {
      // TVERTEX i u w v
      int i = 0;
      float u = 0.0f, w = 0.0f, v = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, u, w, v);
      if (!mesh.PutTexVertex(i, u, 1.0f - v)) break;
    } else if (key == model::kMatId) {
      // MatID index
      fmt::ScanLine(line, model::kReadCount, word, &mesh.drawRecord.materialIndex);
    }
  }
  FinishMesh(mesh, input);
}

ModelFileResult LoadModelFile(const char* name, MeshObject& mesh, const LoadLog& log) {
  const OpenedText file(name, "model file", log);
  if (file.File() == nullptr) return ModelFileResult::kCannotOpen;
  fmt::LineReader reader(file.File());
  ReadModelFile(reader, file.Bytes(), name, mesh, log);
  return ModelFileResult::kRead;
}
