// The tool's converters on generated inputs held in memory (so the figure is
// the converter's, not the disk's): bytes of ASE per second, one core.
// Outputs go to files in a scratch folder (mesh) or to a discarding stream.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/LineReader.h"
#include "tests/tool/AseGenerator.h"
#include "tool/CharacterConverter.h"
#include "tool/MeshConverter.h"

namespace {

using tarn::tool::testing::AseWriter;

std::string Generate(bool biped, long long megabytes) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  {
    AseWriter ase(out);
    ase.Header(0, 22000);
    if (biped) {
      ase.Biped(22000);
      ase.MeshObject("Skin", 40000, true);
    } else {
      for (int i = 0; ase.Bytes() < (megabytes << 20); ++i) ase.MeshObject(("Box" + std::to_string(i)).c_str(), 20000);
    }
  }
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

const std::string& StaticMeshes() {
  static const std::string text = Generate(false, 100);
  return text;
}
const std::string& Biped() {
  static const std::string text = Generate(true, 0);
  return text;
}

void BM_MeshConversion(benchmark::State& state) {
  const std::string& ase = StaticMeshes();
  auto folder = std::filesystem::temp_directory_path() / ("rigwright-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  for (auto _ : state) {
    tarn::formats::LineReader reader(ase.data(), ase.size());
    tarn::tool::MeshRun run = tarn::tool::ConvertMeshStream(reader);
    benchmark::DoNotOptimize(run.filesWritten);
  }
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(folder);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * ase.size()));
}
BENCHMARK(BM_MeshConversion)->Unit(benchmark::kMillisecond)->UseRealTime();

// Many small objects into a fresh folder: the cost of creating each model
// file, which must not grow with the files already there.
void BM_ManyModelFiles(benchmark::State& state) {
  std::string ase;
  for (int i = 0; i < state.range(0); ++i) ase += "*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 1\n*MESH_VERTEX 0 1 2 3\n}\n}\n";
  auto folder = std::filesystem::temp_directory_path() / ("rigwright-many-" + std::to_string(getpid()));
  auto previous = std::filesystem::current_path();
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    state.ResumeTiming();
    tarn::formats::LineReader reader(ase.data(), ase.size());
    tarn::tool::MeshRun run = tarn::tool::ConvertMeshStream(reader);
    benchmark::DoNotOptimize(run.filesWritten);
    state.PauseTiming();
    std::filesystem::current_path(previous);
    state.ResumeTiming();
  }
  std::filesystem::remove_all(folder);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ManyModelFiles)->Arg(1000)->Arg(16000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

template <bool kPhysique>
void BM_CharacterConversion(benchmark::State& state) {
  const std::string& ase = Biped();
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    tarn::formats::LineReader reader(ase.data(), ase.size());
    tarn::tool::TextSink out(sink);
    if (kPhysique)
      tarn::tool::StreamPhysiqueData(reader, out);
    else
      tarn::tool::StreamMotionData(reader, out);
    out.Flush();
  }
  std::fclose(sink);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * ase.size()));
  state.counters["input_MB"] = static_cast<double>(ase.size()) / (1 << 20);
}
BENCHMARK(BM_CharacterConversion<true>)->Name("BM_PhysiqueConversion")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CharacterConversion<false>)->Name("BM_MotionConversion")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
