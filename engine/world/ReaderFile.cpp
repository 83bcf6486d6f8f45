// The readers' file helpers and count rule (ReaderFile.h).
#include "engine/world/ReaderFile.h"

#include <cerrno>

#include "engine/world/MeshObject.h"
#include "engine/world/NameReadings.h"
#include "platform/files/AnsiFile.h"

void LogCannotOpen(const LoadLog& log, const char* name, const char* what) {
  if (errno == ENOENT)
    log.Error("%s: cannot open the %s%s", name, what, NameReadings(name).c_str());
  else
    log.Error("%s: cannot open the %s: %s", name, what, tarn::files::LastErrorText().c_str());
}

OpenedText::OpenedText(const char* name, const char* what, const LoadLog& log) {
  long long size = 0;
  file_ = tarn::files::AnsiFopen(name, "rt", &size);
  if (file_ == nullptr) LogCannotOpen(log, name, what);
  bytes_ = size > 0 ? static_cast<std::size_t>(size) : 0;
}

OpenedText::~OpenedText() {
  if (file_ != nullptr) std::fclose(file_);
}

std::int32_t BoundCount(std::int32_t n, std::int64_t limit, const MeshInput& input, long long line) {
  if (n < 0) {
    input.log.Error("%s line %lld: negative count %d read as 0", input.name, line, n);
    return 0;
  }
  const std::int64_t fits = static_cast<std::int64_t>(input.bytes / MeshObject::kMinCountedLine);
  const std::int64_t bound = fits < limit ? fits : limit;
  if (n > bound) {
    input.log.Error("%s line %lld: count %d is more than the file can hold, read as %lld", input.name, line, n,
                    static_cast<long long>(bound));
    return static_cast<std::int32_t>(bound);
  }
  return n;
}

void ReadCountLine(MeshObject& mesh, MeshCount which, std::int32_t n, const MeshInput& input, long long line) {
  switch (which) {
    case MeshCount::kPositions:
      mesh.SetPositionCount(BoundCount(n, MeshObject::kMaxIndexed, input, line));
      break;
    case MeshCount::kFaces:
      mesh.SetFaceCount(BoundCount(n, INT32_MAX / 3, input, line));
      break;
    case MeshCount::kTexVertices:
      mesh.SetTexVertexCount(BoundCount(n, MeshObject::kMaxIndexed, input, line));
      break;
    case MeshCount::kTexFaces:
      mesh.SetTexFaceCount(BoundCount(n, INT32_MAX / 3, input, line));
      break;
  }
}

bool FinishMesh(MeshObject& mesh, const MeshInput& input) {
  if (mesh.Expand()) return true;
  input.log.Error("%s: more than the %zu MB of memory left for meshes; not loaded", input.name,
                  mesh.MemoryLimit() >> 20);
  return false;
}
