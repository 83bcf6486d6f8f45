// The mesh model file ("%d.t3m", see formats/ModelFileFormat.h) read into a
// MeshObject, which keeps the rules all readers share (MeshObject.h).
// Choices of ours, where the format leaves a case open:
//   - a file that cannot be opened, or that is not a regular file (a FIFO,
//     a device, a folder), leaves the mesh empty (0 vertices), writes an
//     "Error: " line naming it to the log and reads as kCannotOpen;
//   - a VERTEX/FACE/TVERTEX/TFACE line whose index lies outside its count
//     (or comes before its count line) is skipped;
//   - counts are bounded as BoundCount (ReaderFile.h) bounds them (positions
//     and texture vertices by the 16-bit index limit, faces by the input);
//   - referencePoint and materialIndex are 0 without "Pos" and "MatID";
//   - nothing after "End" is read.
// A mesh over its memory limit stops taking lines and is left empty (the
// mesh's OverLimit() tells); the file still reads as kRead.
#pragma once

#include <cstddef>

#include "engine/log/TarnLog.h"
#include "engine/world/MeshObject.h"
#include "formats/LineReader.h"

enum class ModelFileResult {
  kRead,        // the file was opened and read (problems in it are logged)
  kCannotOpen,  // logged; nothing was read into the mesh
};

ModelFileResult LoadModelFile(const char* name, MeshObject& mesh, const LoadLog& log = {});

// The same from a line reader over input of `inputBytes` bytes; `name`
// only names the input in log lines.
void ReadModelFile(tarn::formats::LineReader& reader, std::size_t inputBytes, const char* name, MeshObject& mesh,
                   const LoadLog& log = {});
