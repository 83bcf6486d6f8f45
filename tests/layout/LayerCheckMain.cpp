// layer-check ROOT LAYERS: the layering check over the repository at ROOT
// with the records of a configured build; prints every problem, exit 1 if any.
#include <cstdio>
#include <fstream>

#include "tests/layout/LayerCheck.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: layer-check ROOT LAYERS\n");
    return 2;
  }
  std::ifstream records(argv[2]);
  if (!records) {
    std::fprintf(stderr, "layer-check: cannot read %s\n", argv[2]);
    return 2;
  }
  const tarn::layout::LayerReport report = tarn::layout::CheckLayers(argv[1], records);
  for (const std::string& p : report.problems) std::printf("%s\n", p.c_str());
  std::printf("%zu problem(s) in %d files of %d targets\n", report.problems.size(), report.filesChecked,
              report.targets);
  return report.problems.empty() ? 0 : 1;
}
