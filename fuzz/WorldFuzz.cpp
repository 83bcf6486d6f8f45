// The world readers on arbitrary bytes: the model file, the ASE house and
// the two picture readers. Each checks the invariants its header promises.
#include <cstdint>
#include <cstdlib>

#include "engine/scene/SceneNode.h"
#include "engine/picture/Image.h"
#include "engine/world/AseReader.h"
#include "engine/world/ModelFileReader.h"
#include "formats/LineReader.h"

namespace {
void Quiet(void*, const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LoadLog log;
  log.write = Quiet;
#if defined(TARN_FUZZ_MODEL_FILE) || defined(TARN_FUZZ_ASE_HOUSE)
  tarn::formats::LineReader reader(reinterpret_cast<const char*>(data), size);
  MeshObject mesh;
#if defined(TARN_FUZZ_MODEL_FILE)
  ReadModelFile(reader, size, "fuzz", mesh, log);
#else
  SceneNode root;
  ReadAseHouse(reader, size, "fuzz", mesh, &root, log);
#endif
  if (mesh.drawRecord.vertexCount > 3 * mesh.FaceCount()) std::abort();
  if (static_cast<std::size_t>(mesh.drawRecord.vertexCount) != mesh.Vertices().size()) std::abort();
  if (mesh.PositionCount() > MeshObject::kMaxIndexed || mesh.TexVertexCount() > MeshObject::kMaxIndexed) std::abort();
  if (mesh.Vertices().size() > size) std::abort();
#else
  Image img;
#if defined(TARN_FUZZ_BMP)
  img.ReadBmp(data, size, 0xFFFFFF);
#else
  img.ReadTga(data, size);
#endif
  if (img.pixels.size() != static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height)) std::abort();
#endif
  return 0;
}
