// The bundled sample world, as the build writes it: it loads without a
// single log line and holds what the README promises.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "engine/world/WorldMap.h"
#include "programs/WorldReport.h"
#include "tests/common/DeepFolder.h"
#include "tests/world/WorldTestKit.h"

namespace fs = std::filesystem;

namespace {

// The folder the build writes the sample world into.
std::string SampleFolder() {
  const char* build = std::getenv("TARN_BUILD_DIR");
  return build != nullptr ? std::string(build) + "/sample" : std::string();
}

// A picture the loader made a texture of.
struct Made {
  int w, h;
  bool alpha;
};

// Services that record each texture's picture instead of making a surface.
WorldServices RecordingPictures(std::vector<Made>* made, CapturedLog* log) {
  WorldServices services;
  services.context = made;
  services.createTexture = [](void* c, Image& picture, IDirectDrawSurface7** texture) {
    bool alpha = false;
    for (std::uint32_t p : picture.pixels) alpha |= (p >> 24) != 255;
    static_cast<std::vector<Made>*>(c)->push_back({picture.width, picture.height, alpha});
    *texture = nullptr;
    return 1;
  };
  services.log = log->Sink();
  return services;
}

TEST(SampleWorld, LoadsCompletely) {
  const std::string folder = SampleFolder();
  ASSERT_FALSE(folder.empty()) << "run through ctest";
  ASSERT_TRUE(std::filesystem::exists(folder + "/exam.map"));
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(folder);

  SceneNode root;
  RenderSwitches switches;
  LoadedWorld world;
  CapturedLog log;
  std::vector<Made> made;
  EXPECT_EQ(LoadWorldMap("exam.map", &root, &switches, RecordingPictures(&made, &log), world), 1);
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

// The world in the working folder: its --stats report and the sizes of the
// pictures its textures were made of; the log's lines go to `log`.
std::string LoadHere(CapturedLog& log) {
  SceneNode root;
  RenderSwitches switches;
  LoadedWorld world;
  std::vector<Made> made;
  if (LoadWorldMap("exam.map", &root, &switches, RecordingPictures(&made, &log), world) != 1) return "no world";
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  PrintWorldStats(out, &root, &switches);
  for (const Made& m : made) std::fprintf(out, "picture %dx%d\n", m.w, m.h);
  std::fclose(out);
  std::string report(text, size);
  std::free(text);
  return report;
}

// Copies the world's files (the folders one level deep) from `from` into the
// working folder, by names relative to it.
void CopyWorldHere(const fs::path& from) {
  for (const auto& e : fs::directory_iterator(from)) {
    const std::string name = e.path().filename().string();
    if (e.is_regular_file() && name != "Makefile" && name != "cmake_install.cmake") {
      fs::copy_file(e.path(), name);
    } else if (e.is_directory() && name != "CMakeFiles") {
      fs::create_directory(name);
      for (const auto& f : fs::directory_iterator(e.path()))
        if (f.is_regular_file()) fs::copy_file(f.path(), name + "/" + f.path().filename().string());
    }
  }
}

TEST(SampleWorld, LoadsTheSameInAFolderDeeperThanAnyPathBuffer) {
  const std::string sample = SampleFolder();
  ASSERT_FALSE(sample.empty()) << "run through ctest";
  ScratchFolder scratch;
  fs::create_directory("shallow");
  fs::current_path("shallow");
  CopyWorldHere(sample);
  CapturedLog shallowLog;
  const std::string shallow = LoadHere(shallowLog);
  fs::current_path(scratch.path());
  EXPECT_TRUE(shallowLog.lines.empty()) << shallowLog.lines[0];

  {
    tarn::test::DeepFolder deep;
    ASSERT_TRUE(deep.Made());
    CopyWorldHere(sample);
    char name[PATH_MAX];
    EXPECT_EQ(::getcwd(name, sizeof name), nullptr);  // deep indeed
    CapturedLog deepLog;
    EXPECT_EQ(LoadHere(deepLog), shallow);
    EXPECT_TRUE(deepLog.lines.empty()) << deepLog.lines[0];
    // The loader came back to the folder it started in.
    EXPECT_TRUE(fs::exists("exam.map"));
  }
  EXPECT_FALSE(fs::exists(std::string(200, 'd')));  // the deep tree is gone
}

}  // namespace
