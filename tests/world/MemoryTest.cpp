// Memory the world cannot have: a load whose allocation fails is logged and
// leaves its object empty, and the program goes on. The test replaces the
// global operator new so that it can refuse large blocks on demand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "engine/world/ModelFileReader.h"
#include "engine/world/WorldMap.h"
#include "tests/world/WorldTestKit.h"

namespace {
std::size_t refuseAbove = SIZE_MAX;  // bytes; set only while a load runs
}

void* operator new(std::size_t n) {
  if (n > refuseAbove) throw std::bad_alloc();
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

// Under AddressSanitizer, libraries that keep the sanitizer's own operator
// new may hand their blocks to this delete: the pairing is ours, not a bug.
extern "C" const char* __asan_default_options() { return "alloc_dealloc_mismatch=0"; }

namespace {

TEST(Memory, AnObjectThatCannotHaveItsMemoryIsLoggedAndLeftEmpty) {
  ScratchFolder scratch;
  std::string big = "NumVertex 3\nNumFace 20000\nVERTEX 1 1 0 0\n";
  for (int i = 0; i < 20000; ++i) big += "FACE " + std::to_string(i) + " 0 1 2\n";
  WriteFile("Model/0.t3m", big);  // its 60000 drawn vertices need 1.9 MB
  WriteFile("Model/1.t3m", "NumVertex 3\nNumFace 1\nFACE 0 0 1 2\nEnd\n");
  WriteFile("f.txt", "NumObject 2\n");
  WriteFile("exam.map", "FloorMap f.txt\nEnd\n");
  CapturedLog log;
  WorldServices services;
  services.log = log.Sink();
  SceneNode root;
  RenderSwitches switches;
  LoadedWorld world;
  refuseAbove = 1 << 20;
  const int loaded = LoadWorldMap("exam.map", &root, &switches, services, world);
  refuseAbove = SIZE_MAX;
  EXPECT_EQ(loaded, 1);
  ASSERT_EQ(world.meshes.size(), 2u);
  EXPECT_EQ(world.meshes[0]->drawRecord.vertexCount, 0);
  EXPECT_EQ(world.meshes[1]->drawRecord.vertexCount, 3);
  EXPECT_TRUE(log.Mentions("f.txt line 1: Model/0.t3m: not enough memory")) << (log.lines.empty() ? "" : log.lines[0]);
}

TEST(Memory, AnObjectBeyondTheWorldsBudgetIsLoggedAndLeftEmpty) {
  ScratchFolder scratch;
  std::string text = "NumVertex 3\nNumFace 1000\n";
  for (int i = 0; i < 1000; ++i) text += "FACE " + std::to_string(i) + " 0 1 2\n";
  MeshObject mesh;
  mesh.SetMemoryLimit(64 * 1024);  // 3000 drawn vertices need 96 KB
  CapturedLog log;
  tarn::formats::LineReader reader(text.data(), text.size());
  ReadModelFile(reader, text.size(), "m.t3m", mesh, log.Sink());
  EXPECT_EQ(mesh.drawRecord.vertexCount, 0);
  EXPECT_TRUE(mesh.Vertices().empty());
  EXPECT_TRUE(log.Mentions("m.t3m: more than the"));
}

}  // namespace
