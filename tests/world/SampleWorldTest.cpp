// The bundled sample world, as the build writes it: it loads without a
// single log line and holds what the README promises.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/world/WorldMap.h"
#include "tests/world/WorldTestKit.h"

namespace {

TEST(SampleWorld, LoadsCompletely) {
  const char* build = std::getenv("TARN_BUILD_DIR");
  ASSERT_NE(build, nullptr) << "run through ctest";
  const std::string folder = std::string(build) + "/sample";
  ASSERT_TRUE(std::filesystem::exists(folder + "/exam.map"));
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(folder);

  SceneNode root;
  RenderSwitches switches;
  LoadedWorld world;
  CapturedLog log;
  struct Made {
    int w, h;
    bool alpha;
  };
  std::vector<Made> made;
  WorldServices services;
  services.context = &made;
  services.createTexture = [](void* c, Image& picture, IDirectDrawSurface7** texture) {
    bool alpha = false;
    for (std::uint32_t p : picture.pixels) alpha |= (p >> 24) != 255;
    static_cast<std::vector<Made>*>(c)->push_back({picture.width, picture.height, alpha});
    *texture = nullptr;
    return 1;
  };
  services.log = log.Sink();
  EXPECT_EQ(LoadWorldMap("exam.map", &root, &switches, services, world), 1);
  std::filesystem::remove(kHeightFieldDebugFile);  // keep the world folder as the build made it
  std::filesystem::current_path(home);

  EXPECT_TRUE(log.lines.empty()) << log.lines[0];
  EXPECT_EQ(switches.textureCount, 5);
  ASSERT_EQ(made.size(), 5u);
  for (const Made& m : made) EXPECT_GT(m.w * m.h, 0);
  EXPECT_TRUE(made[1].alpha);   // house_a.tga: glass
  EXPECT_FALSE(made[2].alpha);  // house_b.bmp
  EXPECT_TRUE(made[3].alpha);   // tree.tga: leaves cut out

  std::vector<const DrawRecord*> kids;
  for (const SceneNode* c = root.firstChild.get(); c != nullptr; c = c->nextSibling.get()) kids.push_back(c->drawRecord);
  ASSERT_EQ(kids.size(), 10u);  // terrain, two houses, the plaza, six models
  EXPECT_EQ(kids[0]->kind, kDrawAlways);
  float highest = 0.0f;
  for (int k = 0; k < kids[0]->vertexCount; ++k) highest = std::max(highest, kids[0]->vertices[k].y);
  EXPECT_GT(highest, 10.0f);  // hills at the rim
  for (std::size_t i = 1; i < kids.size(); ++i) {
    EXPECT_EQ(kids[i]->kind, kDrawCulled);
    EXPECT_GT(kids[i]->vertexCount, 0);
  }
  // Houses: the atlas of the map line, placed where their transform says.
  EXPECT_EQ(kids[1]->materialIndex, 2);
  EXPECT_FLOAT_EQ(kids[1]->referencePoint.z, 30.0f);
  EXPECT_EQ(kids[2]->materialIndex, 1);
  EXPECT_FLOAT_EQ(kids[2]->referencePoint.x, -9.0f);
  // The front wall of house 1 (z = 21) faces the camera at the origin.
  int front = 0;
  for (int k = 0; k < kids[2]->vertexCount; ++k) {
    const MeshVertex& v = kids[2]->vertices[k];
    if (v.z < 21.01f && v.y < 3.4f) front += v.nz < -0.99f;
  }
  EXPECT_GE(front, 6);
}

}  // namespace
