// The character export's ASE side on arbitrary bytes, with every node as the
// skinned one in turn (the first three): whatever the counts and indices
// say, the skin's arrays stay within what the input can name.
#include <cstdint>
#include <cstdlib>

#include "export/CharacterAse.h"
#include "formats/LineReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarn;
  for (int skin = -1; skin < 3; ++skin) {
    formats::LineReader reader(reinterpret_cast<const char*>(data), size);
    exports::AseCharacter out;
    exports::ReadAseCharacter(reader, size, skin, out);
    const std::size_t bound = size / 8 + 1;
    if (out.skin.positions.size() > bound || out.skin.faces.size() > bound || out.skin.texVertices.size() > bound ||
        out.skin.texFaces.size() > bound || out.nodes.size() > size)
      std::abort();
    for (const auto& r : out.skin.rigid)
      if (r.name < 0 || static_cast<std::size_t>(r.name) >= out.skin.names.size()) std::abort();
  }
  return 0;
}
