// The glTF export of a loaded world (no device: no textures), timed from
// ExportWorld's call to its return, the file written to a temporary folder:
// many small models (12,000 of 36 triangles) and a few large ones (100 of
// 2,000). Bytes processed are the file's.
//
//   build/bench/bench_export
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "engine/world/WorldMap.h"
#include "export/WorldExport.h"

namespace {

namespace fs = std::filesystem;

// A model file of `triangles` triangles, each with corners of its own.
void WriteModel(const fs::path& path, int triangles, int seed) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fprintf(f, "m\nNumVertex %d\nNumFace %d\n", triangles * 3, triangles);
  for (int i = 0; i < triangles * 3; ++i)
    std::fprintf(f, "VERTEX %d %f %f %f\n", i, (i % 40) * 0.25 + seed, (i * 7 % 13) * 0.125, (i / 40) * 0.5);
  for (int t = 0; t < triangles; ++t) std::fprintf(f, "FACE %d %d %d %d\n", t, t * 3, t * 3 + 1, t * 3 + 2);
  std::fprintf(f, "MatID 0\nEnd\n");
  std::fclose(f);
}

struct World {
  fs::path dir;
  SceneNode root;
  RenderSwitches switches;
  LoadedWorld loaded;
  World(int models, int triangles) {
    dir = fs::temp_directory_path() /
          ("tarn-bench-export-" + std::to_string(getpid()) + "-" + std::to_string(models));
    fs::create_directories(dir / "Model");
    for (int i = 0; i < models; ++i) WriteModel(dir / "Model" / (std::to_string(i) + ".t3m"), triangles, i);
    std::FILE* f = std::fopen((dir / "floor.txt").c_str(), "wb");
    std::fprintf(f, "NumObject %d\nEnd\n", models);
    std::fclose(f);
    f = std::fopen((dir / "exam.map").c_str(), "wb");
    std::fputs("FloorMap floor.txt\nEnd\n", f);
    std::fclose(f);
    const fs::path home = fs::current_path();
    fs::current_path(dir);
    LoadWorldMap("exam.map", &root, &switches, WorldServices{}, loaded);
    fs::current_path(home);
  }
  ~World() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

void BM_Export(benchmark::State& state) {
  static std::map<std::pair<int, int>, std::unique_ptr<World>> worlds;
  auto& world = worlds[{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))}];
  if (!world) world = std::make_unique<World>(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  tarn::exporter::WorldSource source;
  source.root = &world->root;
  source.switches = &world->switches;
  source.world = &world->loaded;
  const std::string path = (world->dir / "world.glb").string();
  tarn::gltf::Counts counts;
  std::string error;
  for (auto _ : state) {
    if (!tarn::exporter::ExportWorld(source, path, counts, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * counts.bytes));
  state.counters["triangles"] = static_cast<double>(counts.triangles);
  state.counters["MB"] = static_cast<double>(counts.bytes) / 1e6;
}
BENCHMARK(BM_Export)->Args({12000, 36})->Args({100, 2000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
