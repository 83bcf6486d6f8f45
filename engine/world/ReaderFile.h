// What the world's readers share about the file they read: opening it (with
// its size, and the log line when it cannot be opened), the count-line rule
// of the mesh readers, and the log lines that name the file. A file's name
// stays here and in the readers; MeshObject only holds what they put.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "engine/log/TarnLog.h"

class MeshObject;

// "<name>: cannot open the <what>", with the reason when the file is there
// but could not be opened (errno as the open left it).
void LogCannotOpen(const LoadLog& log, const char* name, const char* what);

// A text file held open while it is read, with its size in bytes (0 when
// unknown). File() is null when it could not be opened, which LogCannotOpen
// has then told the log.
class OpenedText {
 public:
  OpenedText(const char* name, const char* what, const LoadLog& log);
  ~OpenedText();
  OpenedText(const OpenedText&) = delete;
  OpenedText& operator=(const OpenedText&) = delete;
  std::FILE* File() const { return file_; }
  std::size_t Bytes() const { return bytes_; }

 private:
  std::FILE* file_ = nullptr;
  std::size_t bytes_ = 0;
};

// The input a mesh reader is reading: its name and size, and the log that
// hears about its faults.
struct MeshInput {
  const char* name;
  std::size_t bytes;
  const LoadLog& log;
};

// The four counts a mesh file declares, whatever its keywords.
enum class MeshCount { kPositions, kFaces, kTexVertices, kTexFaces };

// Bounds a count read from a line: a negative count reads as 0, and no count
// may pass what the input can hold (every counted item takes a line of its
// own, so bytes / MeshObject::kMinCountedLine) nor `limit`; each cut is
// logged with the line's number.
std::int32_t BoundCount(std::int32_t n, std::int64_t limit, const MeshInput& input, long long line);

// The count-line rule of both mesh formats: the count bounded (positions and
// texture vertices also by the 16-bit index limit, faces by what three
// corners each can number) and set on the mesh.
void ReadCountLine(MeshObject& mesh, MeshCount which, std::int32_t n, const MeshInput& input, long long line);

// Expands the mesh; a mesh over its memory limit is left empty and logged.
// False then.
bool FinishMesh(MeshObject& mesh, const MeshInput& input);
