// The ASE house reader (AseReader.h has the rules).
#include "engine/world/AseReader.h"

#include <cstring>
#include <string_view>

#include "engine/scene/SceneNode.h"
#include "engine/world/ReaderFile.h"
#include "formats/AseDepth.h"
#include "formats/AseFace.h"
#include "formats/AseKeywords.h"
#include "formats/LineScan.h"

namespace fmt = tarn::formats;
namespace ase = tarn::formats::ase;
using ase::Key;

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
  char text[fmt::LineReader::kLineBuffer];
  int depth = 1;
  while (reader.NextKeywordLine()) {
    depth += fmt::AseDepthChange(reader);
    switch (ase::FindFor<ase::kHouseReader>(reader.Keyword())) {
      case Key::kMapClass:  // read, not used
        fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(Key::kMapClass), text);
        break;
      case Key::kBitmap:
        text[0] = '\0';
        fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(Key::kBitmap), text);
        StripQuotes(text);
        mesh.SetMaterialBitmap(index, text);
        break;
      default:
        break;
    }
    if (depth <= 0) break;
  }
}

// What a mesh block held beside its lines.
struct AseMeshRead {
  bool hadRow3 = false;  // a "*TM_ROW3" of its own
};

// The mesh counts the ASE count lines declare.
bool AseMeshCount(Key key, MeshCount& which) {
  switch (key) {
    case Key::kMeshNumVertex:
      which = MeshCount::kPositions;
      return true;
    case Key::kMeshNumFaces:
      which = MeshCount::kFaces;
      return true;
    case Key::kMeshNumTVertex:
      which = MeshCount::kTexVertices;
      return true;
    case Key::kMeshNumTVFaces:
      which = MeshCount::kTexFaces;
      return true;
    default:
      return false;
  }
}

// Reads from just after a "*MESH" line to the end of its block and expands
// it.
AseMeshRead ReadAseMesh(fmt::LineReader& reader, const MeshInput& input, MeshObject& mesh) {
  bool row3 = false;
  int depth = 1;
  while (reader.NextKeywordLine()) {
    depth += fmt::AseDepthChange(reader);
    const Key key = ase::FindFor<ase::kHouseReader>(reader.Keyword());
    MeshCount count;
    if (key == Key::kMeshVertex) {
      // position i = (x, z, y)
      int i = 0;
      float x = 0.0f, y = 0.0f, z = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, x, y, z);
      if (!mesh.PutPosition(i, x, z, y)) break;
    } else if (key == Key::kMeshFace) {
      // corners a, c, b
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanAseFace(reader.Line(), i, a, b, c);
      if (!mesh.PutFace(i, a, b, c)) break;
    } else if (key == Key::kMeshTVert) {
      // (u, 1 - v)
      int i = 0;
      float u = 0.0f, v = 0.0f, w = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, u, v, w);
      if (!mesh.PutTexVertex(i, u, 1.0f - v)) break;
    } else if (key == Key::kMeshTFace) {
      // corners a, c, b
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanIndexInts3(reader.AfterKeyword(), i, a, b, c);
      if (!mesh.PutTexFace(i, a, b, c)) break;
    } else if (AseMeshCount(key, count)) {
      int n = 0;
      fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(key), &n);
      ReadCountLine(mesh, count, n, input, reader.LineNumber());
    } else if (key == Key::kNodeName) {
      // the first word of the name, quotes stripped
      char text[fmt::LineReader::kLineBuffer] = "", more[2][fmt::LineReader::kLineBuffer];
      fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(key), text, more[0], more[1]);
      StripQuotes(text);
      mesh.SetNodeName(text);
    } else if (key == Key::kTmRow3) {
      // reference point (x, z, y)
      float x = 0.0f, y = 0.0f, z = 0.0f;
      fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(key), &x, &y, &z);
      mesh.drawRecord.referencePoint = Vector3{x, z, y};
      row3 = true;
    }
    if (depth <= 0) break;
  }
  FinishMesh(mesh, input);
  return AseMeshRead{row3};
}

}  // namespace

void ReadAseHouse(fmt::LineReader& reader, std::size_t inputBytes, const char* name, MeshObject& mesh, SceneNode* parent,
                  const LoadLog& log) {
  const MeshInput input{name, inputBytes, log};
  bool aseLine = false;
  while (reader.NextKeywordLine()) {
    aseLine = aseLine || reader.Keyword().front() == '*';
    const Key key = ase::FindFor<ase::kHouseReader>(reader.Keyword());
    if (key == Key::kMaterialRef) {
      fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(key), &mesh.drawRecord.materialIndex);
    } else if (key == Key::kGeomObject) {
      // The object scan; see the file comment for why it may run to the end.
      int depth = 1;
      bool haveObjectRow3 = false;
      Vector3 objectRow3{0.0f, 0.0f, 0.0f};
      while (reader.NextKeywordLine()) {
        depth += fmt::AseDepthChange(reader);
        const Key inner = ase::FindFor<ase::kHouseReader>(reader.Keyword());
        if (inner == Key::kMesh) {
          const AseMeshRead read = ReadAseMesh(reader, input, mesh);
          if (mesh.OverLimit()) return;  // logged; the house stays empty and unattached
          if (!read.hadRow3 && haveObjectRow3) mesh.drawRecord.referencePoint = objectRow3;
          if (parent != nullptr) parent->AttachDrawable(&mesh.drawRecord);
        } else if (inner == Key::kTmRow3) {
          float x = 0.0f, y = 0.0f, z = 0.0f;
          fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(inner), &x, &y, &z);
          objectRow3 = Vector3{x, z, y};
          haveObjectRow3 = true;
        } else if (inner == Key::kGeomObject) {
          haveObjectRow3 = false;
        }
        if (depth <= 0) break;
      }
    } else if (key == Key::kMaterialList) {
      int depth = 1;
      while (reader.NextKeywordLine()) {
        depth += fmt::AseDepthChange(reader);
        const Key inner = ase::FindFor<ase::kHouseReader>(reader.Keyword());
        if (inner == Key::kMaterialCount) {
          // a new list (each material takes lines of its own)
          int n = 0;
          fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(inner), &n);
          mesh.ResetMaterials(
              static_cast<std::size_t>(BoundCount(n, MeshObject::kMaxIndexed, input, reader.LineNumber())));
        } else if (inner == Key::kMaterial) {
          int index = 0;
          fmt::ScanLine(reader.AfterKeyword(), ase::ScanOf(inner), &index);
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
