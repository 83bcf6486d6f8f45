// The world map with its floor file, texture list, house, model file and
// picture, all from one input: the parts are separated by lines "@@" and
// written as exam.map, f.txt, t.lst, h.ase, Model/0.t3m and texture/p.tga
// in a folder of the target's own (the seeds name those files). Loading must
// leave the working directory where it was.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/scene/RenderSwitches.h"
#include "engine/scene/SceneNode.h"
#include "engine/world/WorldMap.h"
#include "fuzz/FuzzFolder.h"

namespace {

const char* const kNames[] = {"exam.map", "f.txt", "t.lst", "h.ase", "Model/0.t3m", "texture/p.tga"};
char home[4096];

void Quiet(void*, const char*) {}

void Write(const char* name, std::string_view text) {
  std::FILE* f = std::fopen(name, "wb");
  if (f == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnterFuzzFolder("tarn_fuzz_world");
  mkdir("Model", 0700);
  mkdir("floor", 0700);
  mkdir("texture", 0700);
  if (getcwd(home, sizeof home) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  for (const char* name : kNames) {
    std::size_t cut = input.find("\n@@\n");
    Write(name, input.substr(0, cut));
    input = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 4);
  }
  SceneNode root;
  RenderSwitches switches;
  WorldServices services;
  services.log.write = Quiet;
  LoadedWorld world;
  LoadWorldMap("exam.map", &root, &switches, services, world);
  char now[4096];
  if (getcwd(now, sizeof now) == nullptr || std::strcmp(now, home) != 0) std::abort();
  if (world.bytes > kWorldBudget + (std::size_t{64} << 20)) std::abort();
  return 0;
}
