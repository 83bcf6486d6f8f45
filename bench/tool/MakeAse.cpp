// rigwright-make-ase: writes the generated exports the tool's benchmarks and
// memory checks read.
//   rigwright-make-ase static MEGABYTES OUT.ase   static meshes of 20,000 vertices
//   rigwright-make-ase biped SAMPLES SKIN OUT.ase 24-node biped with SAMPLES samples
//                                                 per node and a SKIN-vertex skin
//                                                 with a physique block
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/tool/AseGenerator.h"

int main(int argc, char** argv) {
  using tarn::tool::testing::AseWriter;
  std::string kind = argc > 1 ? argv[1] : "";
  if (kind == "static" && argc == 4) {
    std::FILE* out = std::fopen(argv[3], "w");
    if (out == nullptr) return 1;
    AseWriter ase(out);
    ase.Header(0, 100);
    long long target = std::atoll(argv[2]) << 20;
    for (int i = 0; ase.Bytes() < target; ++i) ase.MeshObject(("Box" + std::to_string(i)).c_str(), 20000);
    return std::fclose(out) == 0 ? 0 : 1;
  }
  if (kind == "biped" && argc == 5) {
    std::FILE* out = std::fopen(argv[4], "w");
    if (out == nullptr) return 1;
    AseWriter ase(out);
    int samples = std::atoi(argv[2]);
    ase.Header(0, samples);
    ase.Biped(samples);
    ase.MeshObject("Skin", std::atoi(argv[3]), true);
    return std::fclose(out) == 0 ? 0 : 1;
  }
  std::fprintf(stderr, "usage: rigwright-make-ase static MEGABYTES OUT.ase | biped SAMPLES SKIN OUT.ase\n");
  return 2;
}
