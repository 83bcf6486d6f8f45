// The software device at 800 x 600 with the engine's fixed state: an empty
// frame, 100 textured spheres (200,000 triangles, about half of them back
// faces), 8 full-screen textured quads, and 2,000 draws of 24 triangles (the
// cost of a draw call). Each runs on one thread (/1) and on every processor
// the process may use (/0); the quads also under each SIMD width.
//   build/bench/bench_device [--benchmark_filter=Fill]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/render/EngineDevice.h"
#include "platform/ddraw/DDrawControl.h"
#include "platform/raster/Raster.h"

namespace {

constexpr int kW = 800, kH = 600;

struct Vertex {
  float x, y, z, nx, ny, nz, u, v;
};

D3DMATRIX Identity() {
  D3DMATRIX m;
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// Runs the device in a scratch directory (its log goes there).
class Rig {
 public:
  explicit Rig(int threads, std::uint32_t alpha = 0xFF000000u) {
    tarn::ddraw::Profile profile = tarn::ddraw::DefaultProfile();
    profile.rasterThreads = threads;  // 0: every processor
    tarn::ddraw::SetProfile(profile);
    char pattern[] = "/tmp/tarn-bench-XXXXXX";
    if (mkdtemp(pattern)) {
      dir_ = pattern;
      if (getcwd(home_, sizeof home_) && chdir(dir_.c_str()) == 0) {
      }
    }
    engine.screen = RECT{0, 0, kW, kH};
    engine.SetUpDevice(kW, kH, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)));
    D3DMATRIX view = Identity(), projection;
    std::memset(&projection, 0, sizeof projection);
    float ys = 1.0f / std::tan(0.785398f / 2), zn = 1.0f, zf = 10000.0f;
    projection._11 = ys / (static_cast<float>(kW) / kH);
    projection._22 = ys;
    projection._33 = zf / (zf - zn);
    projection._34 = 1.0f;
    projection._43 = -zn * zf / (zf - zn);
    if (engine.device) {
      engine.device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
      engine.device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    }
    Image picture;
    picture.width = picture.height = 64;
    picture.pixels.resize(64 * 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        picture.pixels[static_cast<std::size_t>(y * 64 + x)] = (((x / 8 + y / 8) & 1) ? 0x00E0A040u : 0x003060C0u) | alpha;
    engine.CreateTexture(picture, &texture);
  }
  ~Rig() {
    if (texture) texture->Release();
    engine.ReleaseDevice();
    tarn::ddraw::ResetLayer();
    std::remove((dir_ + "/Tarn.log").c_str());
    if (home_[0] && chdir(home_) == 0) rmdir(dir_.c_str());
  }
  bool Ready() const { return engine.DeviceReady() && texture; }

  EngineDevice engine;
  IDirectDrawSurface7* texture = nullptr;

 private:
  std::string dir_;
  char home_[4096] = {};
};

// A UV sphere of radius r: slices x stacks quads, as a triangle list.
std::vector<Vertex> Sphere(float r, int slices, int stacks) {
  std::vector<Vertex> out;
  auto at = [&](int i, int j) {
    float theta = 6.2831853f * static_cast<float>(i) / slices, phi = 3.1415927f * static_cast<float>(j) / stacks;
    float nx = std::sin(phi) * std::cos(theta), ny = std::cos(phi), nz = std::sin(phi) * std::sin(theta);
    return Vertex{r * nx, r * ny, r * nz, nx, ny, nz, static_cast<float>(i) / slices * 4, static_cast<float>(j) / stacks * 2};
  };
  for (int j = 0; j < stacks; ++j)
    for (int i = 0; i < slices; ++i) {
      Vertex a = at(i, j), b = at(i + 1, j), c = at(i, j + 1), d = at(i + 1, j + 1);
      if (j != 0) out.insert(out.end(), {a, c, b});
      if (j != stacks - 1) out.insert(out.end(), {b, c, d});
    }
  return out;
}

void Frame(Rig& rig, auto draw) {
  rig.engine.ClearTarget();
  rig.engine.BeginScene();
  draw();
  rig.engine.EndScene();
  rig.engine.Present();
}

int Threads(const benchmark::State& state) { return static_cast<int>(state.range(0)); }

void BM_EmptyFrame(benchmark::State& state) {
  Rig rig(Threads(state));
  if (!rig.Ready()) return state.SkipWithError("no device");
  for (auto _ : state) Frame(rig, [] {});
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMicrosecond)->Arg(1)->Arg(0);

// World matrices for five layers between 20 and 120 units ahead, each a
// grid of columns x rows spread over that share of what the camera sees of
// the layer (spreadX and spreadY: 2 would reach the edges).
std::vector<D3DMATRIX> Layers(int columns, int rows, float spreadX, float spreadY) {
  std::vector<D3DMATRIX> placements;
  for (int layer = 0; layer < 5; ++layer) {
    float z = 20.0f + 25.0f * layer;
    float halfW = z * std::tan(0.785398f / 2) * kW / kH, halfH = z * std::tan(0.785398f / 2);
    for (int i = 0; i < columns * rows; ++i) {
      D3DMATRIX m = Identity();
      m._41 = (static_cast<float>(i % columns) / static_cast<float>(columns - 1) * spreadX - spreadX * 0.5f) * halfW;
      m._42 = (static_cast<float>(i / columns) / static_cast<float>(rows - 1) * spreadY - spreadY * 0.5f) * halfH;
      m._43 = z;
      placements.push_back(m);
    }
  }
  return placements;
}

void BM_Objects(benchmark::State& state) {
  Rig rig(Threads(state));
  if (!rig.Ready()) return state.SkipWithError("no device");
  std::vector<Vertex> sphere = Sphere(3.0f, 32, 32);  // 1,984 triangles
  // Five layers of 20 spheres between 20 and 120 units ahead, spread across
  // what the camera sees of each layer.
  std::vector<D3DMATRIX> placements = Layers(5, 4, 1.6f, 1.4f);
  IDirect3DDevice7* d = rig.engine.device;
  for (auto _ : state)
    Frame(rig, [&] {
      for (D3DMATRIX& m : placements) {
        d->SetTransform(D3DTRANSFORMSTATE_WORLD, &m);
        d->SetTexture(0, rig.texture);
        d->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, sphere.data(), static_cast<DWORD>(sphere.size()), 0);
      }
    });
  double tris = static_cast<double>(sphere.size() / 3 * placements.size());
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["triangles/s"] =
      benchmark::Counter(tris * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Objects)->Unit(benchmark::kMillisecond)->Arg(1)->Arg(0)->UseRealTime();

// The second argument caps the SIMD width (0 SSE2, 1 AVX2, 2 AVX-512 or
// the widest the processor has): whether a wider loop pays.
void BM_Fill(benchmark::State& state) {
  tarn::raster::LimitSimd(static_cast<tarn::raster::Simd>(state.range(1)));
  Rig rig(Threads(state));
  if (!rig.Ready()) return state.SkipWithError("no device");
  // Eight quads that each cover the screen, far to near so that every one
  // passes the depth test: each pixel is drawn eight times.
  std::vector<Vertex> quads;
  for (int i = 7; i >= 0; --i) {
    float z = 10.0f + static_cast<float>(i), s = z;  // wider than the view at that depth
    Vertex tl{-s, s, z, 0, 0, -1, 0, 0}, tr{s, s, z, 0, 0, -1, 8, 0}, bl{-s, -s, z, 0, 0, -1, 0, 8},
        br{s, -s, z, 0, 0, -1, 8, 8};
    quads.insert(quads.end(), {tl, tr, bl, tr, br, bl});
  }
  IDirect3DDevice7* d = rig.engine.device;
  D3DMATRIX world = Identity();
  for (auto _ : state)
    Frame(rig, [&] {
      d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
      d->SetTexture(0, rig.texture);
      d->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, quads.data(), static_cast<DWORD>(quads.size()), 0);
    });
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["pixels/s"] = benchmark::Counter(8.0 * kW * kH * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
  tarn::raster::LimitSimd(tarn::raster::Simd::Avx512);
}
BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond)->Args({1, 0})->Args({1, 1})->Args({1, 2})->Args({0, 2})->UseRealTime();

// The same with a translucent texture: alpha test and blending on every pixel.
void BM_FillTranslucent(benchmark::State& state) {
  Rig rig(Threads(state), 0x80000000u);
  if (!rig.Ready()) return state.SkipWithError("no device");
  std::vector<Vertex> quads;
  for (int i = 7; i >= 0; --i) {
    float z = 10.0f + static_cast<float>(i), s = z;
    Vertex tl{-s, s, z, 0, 0, -1, 0, 0}, tr{s, s, z, 0, 0, -1, 8, 0}, bl{-s, -s, z, 0, 0, -1, 0, 8},
        br{s, -s, z, 0, 0, -1, 8, 8};
    quads.insert(quads.end(), {tl, tr, bl, tr, br, bl});
  }
  IDirect3DDevice7* d = rig.engine.device;
  D3DMATRIX world = Identity();
  for (auto _ : state)
    Frame(rig, [&] {
      d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
      d->SetTexture(0, rig.texture);
      d->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, quads.data(), static_cast<DWORD>(quads.size()), 0);
    });
  state.counters["pixels/s"] = benchmark::Counter(8.0 * kW * kH * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillTranslucent)->Unit(benchmark::kMillisecond)->Arg(1)->Arg(0)->UseRealTime();

// 2,000 small spheres of 24 triangles, one draw each, spread over the view
// in five layers, each draw with its own world matrix and its texture bound
// again, as the engine's scene walk does: what a draw costs before its
// pixels.
void BM_Draws(benchmark::State& state) {
  Rig rig(Threads(state));
  if (!rig.Ready()) return state.SkipWithError("no device");
  std::vector<Vertex> sphere = Sphere(0.6f, 4, 4);  // 24 triangles
  std::vector<D3DMATRIX> placements = Layers(20, 20, 1.8f, 1.8f);
  IDirect3DDevice7* d = rig.engine.device;
  for (auto _ : state)
    Frame(rig, [&] {
      for (std::size_t i = 0; i < placements.size(); ++i) {
        d->SetTransform(D3DTRANSFORMSTATE_WORLD, &placements[i]);
        d->SetTexture(0, rig.texture);
        d->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, sphere.data(), static_cast<DWORD>(sphere.size()), 0);
      }
    });
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["draws/s"] = benchmark::Counter(static_cast<double>(placements.size() * state.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Draws)->Unit(benchmark::kMillisecond)->Arg(1)->Arg(0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
