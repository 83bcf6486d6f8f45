// The ASE house reader (AseReader.h has the rules).
#include "engine/world/AseReader.h"

#include <cstring>
#include <string_view>

#include "engine/scene/SceneNode.h"
#include "formats/AseDepth.h"
#include "formats/AseFace.h"
#include "formats/LineScan.h"

namespace fmt = tarn::formats;

void StripQuotes(char* word) {
  std::size_t n = std::strlen(word);
  if (n <= 1) {
    word[0] = '\0';
    return;
  }
  std::memmove(word, word + 1, n - 2);
  word[n - 2] = '\0';
}

namespace {

// Reads from just after a "*MATERIAL" line to the end of its block.
void ReadAseMaterial(fmt::LineReader& reader, std::int32_t index, MeshObject& mesh) {
  char word[fmt::LineReader::kLineBuffer];
  char text[fmt::LineReader::kLineBuffer];
  int depth = 1;
  while (reader.NextKeywordLine()) {
    depth += fmt::AseDepthChange(reader);
    if (reader.Is("*MAP_CLASS")) {
      // *MAP_CLASS "Bitmap": read, not used
      fmt::ScanLine(reader.Line(), "%s %s", word, text);
    } else if (reader.Is("*BITMAP")) {
      // *BITMAP "name"
      text[0] = '\0';
      fmt::ScanLine(reader.Line(), "%s %s", word, text);
      StripQuotes(text);
      mesh.SetMaterialBitmap(index, text);
    }
    if (depth <= 0) break;
  }
}

// What a mesh block held beside its lines.
struct AseMeshRead {
  bool hadRow3 = false;  // a "*TM_ROW3" of its own
};

// Reads from just after a "*MESH" line to the end of its block and expands
// it.
AseMeshRead ReadAseMesh(fmt::LineReader& reader, std::size_t inputBytes, const char* name, MeshObject& mesh,
                        const LoadLog& log) {
  char word[fmt::LineReader::kLineBuffer];
  bool row3 = false;
  int depth = 1;
  while (reader.NextKeywordLine()) {
    depth += fmt::AseDepthChange(reader);
    const std::string_view key = reader.Keyword();
    const std::string_view line = reader.Line();
    if (key.size() < 6 || key[0] != '*') {
      // "}" and other short words: nothing to do
    } else if (key == "*MESH_VERTEX") {
      // *MESH_VERTEX i x y z  -> position i = (x, z, y)
      int i = 0;
      float x = 0.0f, y = 0.0f, z = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, x, y, z);
      if (!mesh.PutPosition(i, x, z, y)) break;
    } else if (key == "*MESH_FACE") {
      // *MESH_FACE i: A: a B: b C: c ...  -> a, c, b
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanAseFace(line, i, a, b, c);
      if (!mesh.PutFace(i, a, b, c)) break;
    } else if (key == "*MESH_TVERT") {
      // *MESH_TVERT i u v w  -> (u, 1 - v)
      int i = 0;
      float u = 0.0f, v = 0.0f, w = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, u, v, w);
      if (!mesh.PutTexVertex(i, u, 1.0f - v)) break;
    } else if (key == "*MESH_TFACE") {
      // *MESH_TFACE i a b c  -> a, c, b
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanIndexInts3(reader.AfterKeyword(), i, a, b, c);
      if (!mesh.PutTexFace(i, a, b, c)) break;
    } else if (key == "*MESH_NUMVERTEX" || key == "*MESH_NUMFACES" || key == "*MESH_NUMTVERTEX" ||
               key == "*MESH_NUMTVFACES") {
      // *MESH_NUM<...> count
      int n = 0;
      fmt::ScanLine(line, "%s %d", word, &n);
      const long long at = reader.LineNumber();
      if (key == "*MESH_NUMVERTEX")
        mesh.SetPositionCount(MeshObject::BoundCount(n, MeshObject::kMaxIndexed, inputBytes, name, at, log));
      else if (key == "*MESH_NUMFACES")
        mesh.SetFaceCount(MeshObject::BoundCount(n, INT32_MAX / 3, inputBytes, name, at, log));
      else if (key == "*MESH_NUMTVERTEX")
        mesh.SetTexVertexCount(MeshObject::BoundCount(n, MeshObject::kMaxIndexed, inputBytes, name, at, log));
      else
        mesh.SetTexFaceCount(MeshObject::BoundCount(n, INT32_MAX / 3, inputBytes, name, at, log));
    } else if (key == "*NODE_NAME") {
      // *NODE_NAME "name"
      char text[fmt::LineReader::kLineBuffer] = "";
      fmt::ScanLine(line, "%s %s", word, text);
      StripQuotes(text);
      mesh.SetNodeName(text);
    } else if (key == "*TM_ROW3") {
      // *TM_ROW3 x y z  -> reference point (x, z, y)
      float x = 0.0f, y = 0.0f, z = 0.0f;
      fmt::ScanLine(line, "%s %f %f %f", word, &x, &y, &z);
      mesh.drawRecord.referencePoint = Vector3{x, z, y};
      row3 = true;
    }
    if (depth <= 0) break;
  }
  mesh.Expand(name, log);
  return AseMeshRead{row3};
}

}  // namespace

void ReadAseHouse(fmt::LineReader& reader, std::size_t inputBytes, const char* name, MeshObject& mesh, SceneNode* parent,
                  const LoadLog& log) {
  char word[fmt::LineReader::kLineBuffer];
  bool aseLine = false;
  while (reader.NextKeywordLine()) {
    aseLine = aseLine || reader.Keyword().front() == '*';
    if (reader.Is("*MATERIAL_REF")) {
      // *MATERIAL_REF index
      fmt::ScanLine(reader.Line(), "%s %d", word, &mesh.drawRecord.materialIndex);
    } else if (reader.Is("*GEOMOBJECT")) {
      // The object scan; see the file comment for why it may run to the end.
      int depth = 1;
      bool haveObjectRow3 = false;
      Vector3 objectRow3{0.0f, 0.0f, 0.0f};
      while (reader.NextKeywordLine()) {
        depth += fmt::AseDepthChange(reader);
        if (reader.Is("*MESH")) {
          const AseMeshRead read = ReadAseMesh(reader, inputBytes, name, mesh, log);
          if (mesh.OverLimit()) return;  // logged; the house stays empty and unattached
          if (!read.hadRow3 && haveObjectRow3) mesh.drawRecord.referencePoint = objectRow3;
          if (parent != nullptr) parent->AttachDrawable(&mesh.drawRecord);
        } else if (reader.Is("*TM_ROW3")) {
          float x = 0.0f, y = 0.0f, z = 0.0f;
          fmt::ScanLine(reader.Line(), "%s %f %f %f", word, &x, &y, &z);
          objectRow3 = Vector3{x, z, y};
          haveObjectRow3 = true;
        } else if (reader.Is("*GEOMOBJECT")) {
          haveObjectRow3 = false;
        }
        if (depth <= 0) break;
      }
    } else if (reader.Is("*MATERIAL_LIST")) {
      int depth = 1;
      while (reader.NextKeywordLine()) {
        depth += fmt::AseDepthChange(reader);
        if (reader.Is("*MATERIAL_COUNT")) {
          // *MATERIAL_COUNT n: a new list (each material takes lines of its own)
          int n = 0;
          fmt::ScanLine(reader.Line(), "%s %d", word, &n);
          mesh.ResetMaterials(static_cast<std::size_t>(
              MeshObject::BoundCount(n, MeshObject::kMaxIndexed, inputBytes, name, reader.LineNumber(), log)));
        } else if (reader.Is("*MATERIAL")) {
          // *MATERIAL index {  (the brace is the third word: not counted)
          int index = 0;
          fmt::ScanLine(reader.Line(), "%s %d", word, &index);
          ReadAseMaterial(reader, index, mesh);
        }
        if (depth <= 0) break;
      }
    }
  }
  // Any other text file with the ending (a note, a renamed picture) would
  // otherwise leave the world without a word.
  if (!aseLine) log.Error("%s: no ASE line (a line starting with '*'): not an ASE export; nothing to draw", name);
}

AseHouseResult LoadAseHouse(const char* name, MeshObject& mesh, SceneNode* parent, const LoadLog& log) {
  const OpenedText file(name, "house file", log);
  if (file.File() == nullptr) return AseHouseResult::kCannotOpen;
  fmt::LineReader reader(file.File());
  ReadAseHouse(reader, file.Bytes(), name, mesh, parent, log);
  return AseHouseResult::kRead;
}
