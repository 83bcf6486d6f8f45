// Loader throughput: a world of 2,000 model files of 2,000 triangles each
// (timed from LoadWorldMap to its return), a large ASE house, and BMP/TGA
// pictures. Bytes processed are the input files' sizes.
//
//   build/bench/bench_world                      all of them
//   build/bench/bench_world --benchmark_filter=Model
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/picture/Image.h"
#include "engine/world/AseReader.h"
#include "engine/world/WorldMap.h"

namespace {

namespace fs = std::filesystem;

// A model file of `triangles` triangles over a grid of positions, written
// the way the tool writes them.
std::size_t WriteModel(const std::string& path, int triangles, int seed) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  const int vertices = triangles / 2 + 2;
  std::fprintf(f, "%s\nPos %f %f %f\nNumVertex %d\nNumFace %d\n", path.c_str(), seed * 0.5, 0.0, 1.0, vertices, triangles);
  for (int i = 0; i < vertices; ++i)
    std::fprintf(f, "VERTEX %d %f %f %f\n", i, (i % 40) * 1.25 + seed, (i * 7 % 13) * 0.125, (i / 40) * 1.5 - 3.0);
  for (int t = 0; t < triangles; ++t) std::fprintf(f, "FACE %d %d %d %d\n", t, t / 2, t / 2 + 1, t / 2 + 2);
  std::fprintf(f, "NumTVertex %d\n", vertices);
  for (int i = 0; i < vertices; ++i) std::fprintf(f, "TVERTEX %d %f %f %f\n", i, (i % 40) / 40.0, 0.0, (i / 40) / 30.0);
  std::fprintf(f, "NumTFace %d\n", triangles);
  for (int t = 0; t < triangles; ++t) std::fprintf(f, "TFACE %d %d %d %d\n", t, t / 2, t / 2 + 1, t / 2 + 2);
  std::fprintf(f, "MatID %d\nEnd\n", seed % 4);
  long size = std::ftell(f);
  std::fclose(f);
  return static_cast<std::size_t>(size);
}

struct ModelWorld {
  fs::path dir;
  std::size_t bytes = 0;
  ModelWorld() {
    dir = fs::temp_directory_path() / ("tarn-bench-world-" + std::to_string(getpid()));
    fs::create_directories(dir / "Model");
    for (int i = 0; i < 2000; ++i) bytes += WriteModel((dir / "Model" / (std::to_string(i) + ".t3m")).string(), 2000, i);
    std::FILE* f = std::fopen((dir / "floor.txt").c_str(), "wb");
    std::fputs("NumObject 2000\nEnd\n", f);
    std::fclose(f);
    f = std::fopen((dir / "exam.map").c_str(), "wb");
    std::fputs("FloorMap floor.txt\nEnd\n", f);
    std::fclose(f);
  }
  ~ModelWorld() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

void BM_ModelFileWorld(benchmark::State& state) {
  static ModelWorld world;
  const fs::path home = fs::current_path();
  fs::current_path(world.dir);
  std::size_t triangles = 0;
  for (auto _ : state) {
    SceneNode root;
    RenderSwitches switches;
    LoadedWorld loaded;
    LoadWorldMap("exam.map", &root, &switches, WorldServices{}, loaded);
    triangles = 0;
    for (const auto& m : loaded.meshes) triangles += static_cast<std::size_t>(m->FaceCount());
    state.PauseTiming();
    { LoadedWorld drop = std::move(loaded); }  // freeing is not loading
    state.ResumeTiming();
  }
  fs::current_path(home);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * world.bytes));
  state.counters["triangles"] = static_cast<double>(triangles);
  state.counters["MB"] = static_cast<double>(world.bytes) / 1e6;
}
BENCHMARK(BM_ModelFileWorld)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// An ASE export as the exporter writes it: one object of n triangles.
std::string AseText(int faces) {
  std::string s = "*3DSMAX_ASCIIEXPORT\t200\n*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n"
                  "\t\t*MAP_DIFFUSE {\n\t\t\t*MAP_CLASS \"Bitmap\"\n\t\t\t*BITMAP \"a.bmp\"\n\t\t}\n\t}\n}\n";
  s += "*GEOMOBJECT {\n\t*NODE_NAME \"Big\"\n\t*NODE_TM {\n\t\t*TM_ROW3 1.0000\t2.0000\t3.0000\n\t}\n\t*MESH {\n";
  const int vertices = faces / 2 + 2;
  char line[256];
  std::snprintf(line, sizeof line, "\t\t*MESH_NUMVERTEX %d\n\t\t*MESH_NUMFACES %d\n\t\t*MESH_VERTEX_LIST {\n", vertices, faces);
  s += line;
  for (int i = 0; i < vertices; ++i) {
    std::snprintf(line, sizeof line, "\t\t\t*MESH_VERTEX %4d\t%.4f\t%.4f\t%.4f\n", i, (i % 50) * 1.25, (i / 50) * 1.5, (i % 7) * 0.25);
    s += line;
  }
  s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
  for (int t = 0; t < faces; ++t) {
    std::snprintf(line, sizeof line,
                  "\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n",
                  t, t / 2, t / 2 + 1, t / 2 + 2);
    s += line;
  }
  std::snprintf(line, sizeof line, "\t\t}\n\t\t*MESH_NUMTVERTEX %d\n\t\t*MESH_TVERTLIST {\n", vertices);
  s += line;
  for (int i = 0; i < vertices; ++i) {
    std::snprintf(line, sizeof line, "\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000\n", i, (i % 50) / 50.0, (i / 50) / 40.0);
    s += line;
  }
  std::snprintf(line, sizeof line, "\t\t}\n\t\t*MESH_NUMTVFACES %d\n\t\t*MESH_TFACELIST {\n", faces);
  s += line;
  for (int t = 0; t < faces; ++t) {
    std::snprintf(line, sizeof line, "\t\t\t*MESH_TFACE %d\t%d\t%d\t%d\n", t, t / 2, t / 2 + 1, t / 2 + 2);
    s += line;
  }
  s += "\t\t}\n\t}\n\t*MATERIAL_REF 0\n}\n";
  return s;
}

void BM_AseHouse(benchmark::State& state) {
  const std::string text = AseText(60000);
  const fs::path path = fs::temp_directory_path() / ("tarn-bench-house-" + std::to_string(getpid()) + ".ase");
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  for (auto _ : state) {
    MeshObject mesh;
    SceneNode root;
    LoadAseHouse(path.c_str(), mesh, &root);
    benchmark::DoNotOptimize(mesh.drawRecord.vertexCount);
  }
  fs::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_AseHouse)->Unit(benchmark::kMillisecond);

std::vector<std::uint8_t> Picture(bool tga, int w, int h) {
  std::vector<std::uint8_t> v(tga ? 18 : 54, 0);
  const int bytes = tga ? 4 : 3;
  if (tga) {
    v[2] = 2, v[12] = static_cast<std::uint8_t>(w), v[13] = static_cast<std::uint8_t>(w >> 8);
    v[14] = static_cast<std::uint8_t>(h), v[15] = static_cast<std::uint8_t>(h >> 8), v[16] = 32, v[17] = 0x28;
  } else {
    v[0] = 'B', v[1] = 'M', v[10] = 54, v[14] = 40;
    v[18] = static_cast<std::uint8_t>(w), v[19] = static_cast<std::uint8_t>(w >> 8);
    v[22] = static_cast<std::uint8_t>(h), v[23] = static_cast<std::uint8_t>(h >> 8), v[26] = 1, v[28] = 24;
  }
  const std::size_t row = (static_cast<std::size_t>(w * bytes) + (tga ? 0 : 3)) & (tga ? ~std::size_t{0} : ~std::size_t{3});
  for (std::size_t i = 0; i < row * static_cast<std::size_t>(h); ++i) v.push_back(static_cast<std::uint8_t>(i * 31 >> 3));
  return v;
}

void BM_ReadPicture(benchmark::State& state) {
  const bool tga = state.range(0) != 0;
  const std::vector<std::uint8_t> file = Picture(tga, 2048, 2048);
  const fs::path path = fs::temp_directory_path() / ("tarn-bench-picture-" + std::to_string(getpid()) + (tga ? ".tga" : ".bmp"));
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  for (auto _ : state) {
    Image img;
    img.LoadPicture(path.c_str());
    benchmark::DoNotOptimize(img.pixels.data());
  }
  fs::remove(path);
  state.SetLabel(tga ? "TGA 32-bit 2048x2048 file" : "BMP 24-bit 2048x2048 file");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DecodePictureInMemory(benchmark::State& state) {
  const bool tga = state.range(0) != 0;
  const std::vector<std::uint8_t> file = Picture(tga, 2048, 2048);
  Image img;
  for (auto _ : state) {
    if (tga)
      img.ReadTga(file.data(), file.size());
    else
      img.ReadBmp(file.data(), file.size(), 0xFFFFFF);
    benchmark::DoNotOptimize(img.pixels.data());
  }
  state.SetLabel(tga ? "TGA 32-bit" : "BMP 24-bit");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_DecodePictureInMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
