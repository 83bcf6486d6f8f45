// What showing a frame larger than the display costs the SDL host per frame:
// the area-averaging shrink (FrameFit.h), for the sizes a tarn.cfg larger
// than the screen asks for.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/hosts/sdl/FrameFit.h"

namespace {

void BM_AreaShrink(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const int outWidth = static_cast<int>(state.range(2)), outHeight = static_cast<int>(state.range(3));
  std::vector<std::uint16_t> frame(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint16_t>(i * 2654435761u >> 7);
  std::vector<std::uint32_t> out(static_cast<std::size_t>(outWidth) * outHeight);
  tarn::hosts::AreaShrinker shrinker;
  for (auto _ : state) {
    shrinker.Shrink(frame.data(), width * 2, width, height, out.data(), outWidth, outHeight);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(width) * height);
}
BENCHMARK(BM_AreaShrink)
    ->Args({1280, 720, 1024, 576})   // 1280 x 720 on 1024 x 768
    ->Args({1920, 1080, 1024, 576})  // 1920 x 1080 on 1024 x 768
    ->Args({1024, 768, 800, 600})    // 1024 x 768 on 800 x 600
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
