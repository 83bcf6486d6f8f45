// Houses from 3ds Max ASCII exports: the material list and the mesh blocks
// of the geometric objects, read into one MeshObject by LoadAseHouse, which
// attaches the mesh's DrawRecord to the parent node once per mesh block read.
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
//     limit stops being read, is logged and left empty (OverLimit() tells);
//   - a file that cannot be opened attaches nothing, writes an "Error: "
//     line naming it and reads as kCannotOpen;
//   - a file without one ASE line (a keyword starting with '*') is logged as
//     no ASE export; it reads as kRead and attaches nothing;
//   - an export saved as UTF-16 (or marked UTF-8) is read as its 8-bit text
//     would be: the file layer decodes it (platform/files/AnsiFile.h).
#pragma once

#include <cstddef>

#include "engine/log/TarnLog.h"
#include "engine/world/MeshObject.h"
#include "formats/LineReader.h"

class SceneNode;

enum class AseHouseResult {
  kRead,        // the file was opened and read (problems in it are logged)
  kCannotOpen,  // logged; nothing was read into the mesh
};

AseHouseResult LoadAseHouse(const char* name, MeshObject& mesh, SceneNode* parent, const LoadLog& log = {});

// The same from a line reader over input of `inputBytes` bytes; `name`
// only names the input in log lines.
void ReadAseHouse(tarn::formats::LineReader& reader, std::size_t inputBytes, const char* name, MeshObject& mesh,
                  SceneNode* parent, const LoadLog& log = {});

// Removes the first and the last character of a word in place (a word of
// one character becomes empty; an empty word stays empty).
void StripQuotes(char* word);
