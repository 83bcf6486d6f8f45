// Houses from 3ds Max ASCII exports: the material list and the mesh blocks
// of the geometric objects, read into one MeshObject.
//
// Scans follow the block depth rule (formats/AseDepth.h) from depth 1 and
// end after the line that brings the depth to 0. The object scan counts the
// "*MESH" line's brace while ReadAseMesh consumes the mesh's closing one, so
// once a mesh has been read the object scan runs on to the end of the file
// and handles every later "*MESH" block itself; top-level keywords are then
// no longer acted on. A second texture channel opens with its brace after
// the channel number (not counted): its lines replace the first channel's
// and its closing brace ends the mesh scan.
//
// Choices of ours:
//   - y and z are exchanged, the winding reversed and v flipped, as for
//     model files; counts and indices are bounded as in MeshObject.h;
//   - a mesh block without its own "*TM_ROW3" (every plain export keeps it
//     in the object's transform block) takes the object's last "*TM_ROW3"
//     (y and z exchanged) as its reference point, so culling sees where the
//     house stands;
//   - a face corner glued to its label ("A:10000", as the exporter writes
//     five-digit corners) reads as the label and the number;
//   - object and bitmap names are kept whole (up to a line's 255
//     characters) instead of overflowing 20- and 80-byte buffers;
//   - a "*MATERIAL" index outside the material list is skipped;
//   - memory follows the lines read (MeshObject.h); a house over its memory
//     limit stops being read, is logged and left empty;
//   - an export saved as UTF-16 (or marked UTF-8) is read as its 8-bit text
//     would be: the file layer decodes it (platform/files/AnsiFile.h).
#include <cstdio>
#include <cstring>

#include "engine/scene/SceneNode.h"
#include "engine/world/MeshObject.h"
#include "formats/AseDepth.h"
#include "formats/AseFace.h"
#include "formats/LineScan.h"
#include "platform/files/AnsiFile.h"

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

int MeshObject::ReadAseMaterial(fmt::LineReader& reader, std::int32_t index) {
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
      if (index >= 0 && static_cast<std::size_t>(index) < materials.size()) materials[static_cast<std::size_t>(index)].bitmap = text;
    }
    if (depth <= 0) break;
  }
  return 0;
}

int MeshObject::ReadAseMesh(fmt::LineReader& reader, std::size_t inputBytes, const char* name, const LoadLog& log,
                            bool* hadRow3) {
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
      if (!PutPosition(i, x, z, y)) break;
    } else if (key == "*MESH_FACE") {
      // *MESH_FACE i: A: a B: b C: c ...  -> a, c, b
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanAseFace(line, i, a, b, c);
      if (!PutFace(i, a, b, c)) break;
    } else if (key == "*MESH_TVERT") {
      // *MESH_TVERT i u v w  -> (u, 1 - v)
      int i = 0;
      float u = 0.0f, v = 0.0f, w = 0.0f;
      fmt::ScanIndexReals3(reader.AfterKeyword(), i, u, v, w);
      if (!PutTexVertex(i, u, 1.0f - v)) break;
    } else if (key == "*MESH_TFACE") {
      // *MESH_TFACE i a b c  -> a, c, b
      int i = 0, a = 0, b = 0, c = 0;
      fmt::ScanIndexInts3(reader.AfterKeyword(), i, a, b, c);
      if (!PutTexFace(i, a, b, c)) break;
    } else if (key == "*MESH_NUMVERTEX" || key == "*MESH_NUMFACES" || key == "*MESH_NUMTVERTEX" ||
               key == "*MESH_NUMTVFACES") {
      // *MESH_NUM<...> count
      int n = 0;
      fmt::ScanLine(line, "%s %d", word, &n);
      const long long at = reader.LineNumber();
      if (key == "*MESH_NUMVERTEX")
        SetPositionCount(BoundCount(n, kMaxIndexed, inputBytes, name, at, log));
      else if (key == "*MESH_NUMFACES")
        SetFaceCount(BoundCount(n, INT32_MAX / 3, inputBytes, name, at, log));
      else if (key == "*MESH_NUMTVERTEX")
        SetTexVertexCount(BoundCount(n, kMaxIndexed, inputBytes, name, at, log));
      else
        SetTexFaceCount(BoundCount(n, INT32_MAX / 3, inputBytes, name, at, log));
    } else if (key == "*NODE_NAME") {
      // *NODE_NAME "name"
      char text[fmt::LineReader::kLineBuffer] = "";
      fmt::ScanLine(line, "%s %s", word, text);
      StripQuotes(text);
      nodeName = text;
      drawRecord.nodeName = nodeName.c_str();
    } else if (key == "*TM_ROW3") {
      // *TM_ROW3 x y z  -> reference point (x, z, y)
      float x = 0.0f, y = 0.0f, z = 0.0f;
      fmt::ScanLine(line, "%s %f %f %f", word, &x, &y, &z);
      drawRecord.referencePoint = Vector3{x, z, y};
      row3 = true;
    }
    if (depth <= 0) break;
  }
  Expand(name, log);
  if (hadRow3 != nullptr) *hadRow3 = row3;
  return 0;
}

void MeshObject::ReadAseHouse(fmt::LineReader& reader, std::size_t inputBytes, const char* name, SceneNode* parent,
                              const LoadLog& log) {
  char word[fmt::LineReader::kLineBuffer];
  while (reader.NextKeywordLine()) {
    if (reader.Is("*MATERIAL_REF")) {
      // *MATERIAL_REF index
      fmt::ScanLine(reader.Line(), "%s %d", word, &drawRecord.materialIndex);
    } else if (reader.Is("*GEOMOBJECT")) {
      // The object scan; see the file comment for why it may run to the end.
      int depth = 1;
      bool haveObjectRow3 = false;
      Vector3 objectRow3{0.0f, 0.0f, 0.0f};
      while (reader.NextKeywordLine()) {
        depth += fmt::AseDepthChange(reader);
        if (reader.Is("*MESH")) {
          bool hadRow3 = false;
          ReadAseMesh(reader, inputBytes, name, log, &hadRow3);
          if (OverLimit()) return;  // logged; the house stays empty and unattached
          if (!hadRow3 && haveObjectRow3) drawRecord.referencePoint = objectRow3;
          if (parent != nullptr) parent->AttachDrawable(&drawRecord);
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
          materials.assign(static_cast<std::size_t>(BoundCount(n, kMaxIndexed, inputBytes, name, reader.LineNumber(), log)),
                           AseMaterial{});
        } else if (reader.Is("*MATERIAL")) {
          // *MATERIAL index {  (the brace is the third word: not counted)
          int index = 0;
          fmt::ScanLine(reader.Line(), "%s %d", word, &index);
          ReadAseMaterial(reader, index);
        }
        if (depth <= 0) break;
      }
    }
  }
}

int MeshObject::LoadAseHouse(const char* name, SceneNode* parent, const LoadLog& log) {
  long long size = 0;
  std::FILE* f = tarn::files::AnsiFopen(name, "rt", &size);
  if (f == nullptr) {
    LogCannotOpen(log, name, "house file");
    return 1;
  }
  struct Closer {
    std::FILE* f;
    ~Closer() { std::fclose(f); }
  } closer{f};
  fmt::LineReader reader(f);
  ReadAseHouse(reader, size > 0 ? static_cast<std::size_t>(size) : 0, name, parent, log);
  return 1;
}
