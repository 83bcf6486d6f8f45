// The tool's streaming converters on arbitrary ASE text. The mesh converter
// writes its model files into a folder of its own; every file it leaves
// must end with its "End" line. The physique and motion writers write into
// memory, and what they write must stay within a bound of the input's size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/LineReader.h"
#include "fuzz/FuzzFolder.h"
#include "tool/CharacterConverter.h"
#include "tool/MeshConverter.h"
#include "tool/TextSink.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#if defined(TARN_FUZZ_MESH_CONVERTER)
  EnterFuzzFolder("tarn_fuzz_mesh");
#endif
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarn::formats::LineReader reader(reinterpret_cast<const char*>(data), size);
#if defined(TARN_FUZZ_MESH_CONVERTER)
  tarn::tool::MeshRun run = tarn::tool::ConvertMeshStream(reader);
  if (!run.ok) std::abort();
  for (int i = 0; i < run.filesWritten; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%d.t3m", i);
    std::FILE* f = std::fopen(name, "rb");
    if (f == nullptr) std::abort();
    char tail[4] = {};
    if (std::fseek(f, -4, SEEK_END) != 0 || std::fread(tail, 1, 4, f) != 4 || std::memcmp(tail, "End\n", 4) != 0)
      std::abort();
    std::fclose(f);
    std::remove(name);
  }
#else
  std::string out;
  {
    tarn::tool::TextSink sink(&out);
#if defined(TARN_FUZZ_PHYSIQUE_WRITER)
    tarn::tool::StreamPhysiqueData(reader, sink);
#else
    tarn::tool::StreamMotionData(reader, sink);
#endif
  }
  // Every output line comes from one input line of at most 255 characters,
  // plus a fixed header and trailer; nothing may run away.
  if (out.size() > 64 * (size + 64) + 4096) std::abort();
#endif
  return 0;
}
