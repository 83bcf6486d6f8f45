// Speed of the shared line reader and field scan on ASE-like text, beside
// the C library's sscanf on the same lines.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "formats/LineReader.h"
#include "formats/LineScan.h"

namespace {

const std::string& VertexText() {
  static const std::string text = [] {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
    std::string t;
    char line[128];
    for (int i = 0; t.size() < 32u << 20; ++i) {
      std::snprintf(line, sizeof line, "\t\t\t*MESH_VERTEX %5d\t%.4f\t%.4f\t%.4f\r\n", i, coordinate(random),
                    coordinate(random), coordinate(random));
      t += line;
    }
    return t;
  }();
  return text;
}

void ReadLines(benchmark::State& state) {
  const std::string& text = VertexText();
  for (auto _ : state) {
    tarn::formats::LineReader reader(text.data(), text.size());
    long words = 0;
    while (reader.NextKeywordLine()) words += reader.Is("*MESH_VERTEX");
    benchmark::DoNotOptimize(words);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadLines)->Unit(benchmark::kMillisecond);

void ReadAndScan(benchmark::State& state) {
  const std::string& text = VertexText();
  for (auto _ : state) {
    tarn::formats::LineReader reader(text.data(), text.size());
    char keyword[80];
    int index = 0;
    float x = 0, y = 0, z = 0, sum = 0;
    while (reader.NextKeywordLine()) {
      tarn::formats::ScanLine(reader.Line(), "%s %d %f %f %f", keyword, &index, &x, &y, &z);
      sum += x;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadAndScan)->Unit(benchmark::kMillisecond);

// The number-line scans without the format interpreter: ScanNumbers as the
// converters call it, ScanIndexReals3 as the world readers do.
void ReadAndScanNumbers(benchmark::State& state) {
  const std::string& text = VertexText();
  for (auto _ : state) {
    tarn::formats::LineReader reader(text.data(), text.size());
    int index = 0;
    float xyz[3] = {0, 0, 0}, sum = 0;
    while (reader.NextKeywordLine()) {
      tarn::formats::ScanNumbers(reader.AfterKeyword(), &index, 1, xyz, 3);
      sum += xyz[0];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadAndScanNumbers)->Unit(benchmark::kMillisecond);

void ReadAndFieldCursor(benchmark::State& state) {
  const std::string& text = VertexText();
  for (auto _ : state) {
    tarn::formats::LineReader reader(text.data(), text.size());
    int index = 0;
    float x = 0, y = 0, z = 0, sum = 0;
    while (reader.NextKeywordLine()) {
      tarn::formats::ScanIndexReals3(reader.AfterKeyword(), index, x, y, z);
      sum += x;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadAndFieldCursor)->Unit(benchmark::kMillisecond);

void ReadAndSscanf(benchmark::State& state) {
  const std::string& text = VertexText();
  for (auto _ : state) {
    tarn::formats::LineReader reader(text.data(), text.size());
    char keyword[80];
    char line[256];
    int index = 0;
    float x = 0, y = 0, z = 0, sum = 0;
    while (reader.NextKeywordLine()) {
      std::snprintf(line, sizeof line, "%.*s", static_cast<int>(reader.Line().size()), reader.Line().data());
      std::sscanf(line, "%79s %d %f %f %f", keyword, &index, &x, &y, &z);
      sum += x;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(ReadAndSscanf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
