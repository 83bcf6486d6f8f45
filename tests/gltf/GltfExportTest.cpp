// The export's textures against a real (software) device: the picture file
// at full colour while it reads as it did at load, the device's 4-4-4-4 copy
// with a log line once it does not, and the alpha mode from the texels.
#include "export/WorldExport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/render/EngineDevice.h"
#include "engine/world/WorldMap.h"
#include "export/WorldPictures.h"
#include "platform/ddraw/DDrawControl.h"
#include "tests/common/TempDir.h"

namespace {

// An uncompressed 32-bit TGA of one row, top row first.
std::string Tga(const std::vector<std::uint32_t>& argb) {
  std::string t(18, '\0');
  t[2] = 2;
  t[12] = static_cast<char>(argb.size());
  t[14] = 1;
  t[16] = 32;
  t[17] = 0x28;
  for (std::uint32_t p : argb) t.append(reinterpret_cast<const char*>(&p), 4);  // B, G, R, A
  return t;
}

struct Exported {
  std::string json;
  std::vector<std::uint32_t> pixels;  // image 0 as 0xAARRGGBB
};

// The file's JSON and its first image decoded.
bool ReadGlb(const std::string& path, Exported& out) {
  const std::string data = tarn::test::ReadFile(path);
  if (data.size() < 28) return false;
  std::uint32_t jsonLength = 0;
  std::memcpy(&jsonLength, data.data() + 12, 4);
  out.json = data.substr(20, jsonLength);
  const std::string binary = data.substr(28 + jsonLength);
  // The image's view is the last one; its offset and length close the list.
  const std::size_t at = out.json.rfind("{\"buffer\":0,\"byteOffset\":");
  if (at == std::string::npos) return false;
  unsigned long long offset = 0, length = 0;
  if (std::sscanf(out.json.c_str() + at, "{\"buffer\":0,\"byteOffset\":%llu,\"byteLength\":%llu", &offset, &length) != 2 ||
      offset + length > binary.size())
    return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, binary.data() + offset, length)) return false;
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB
  out.pixels.assign(image.width * image.height, 0);
  return png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) != 0;
}

// A channel as the device's 4-bit texel holds it, widened again.
std::uint32_t Texel4444(std::uint32_t p) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) out |= ((p >> shift & 0xFF) >> 4) * 17u << shift;
  return out;
}

enum class After { kNothing, kChanged, kRemoved };

struct Case;
void PrintTo(const Case& c, std::ostream* out);

struct Case {
  const char* name;
  const char* what;
  std::vector<std::uint32_t> picture;
  After after;
  const char* mode;  // the material's alphaMode, "" for OPAQUE
  const char* log;   // what Tarn.log says, "" for nothing
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }

class GltfExportTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    tarn::ddraw::ResetLayer();
    engine_.screen = RECT{0, 0, 320, 200};
    engine_.SetUpDevice(320, 200, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10)));
    ASSERT_TRUE(engine_.DeviceReady());
  }
  void TearDown() override {
    switches_.ReleaseTextures();
    engine_.ReleaseDevice();
    tarn::ddraw::ResetLayer();
  }
  tarn::test::TempWorkDir dir_;
  EngineDevice engine_;
  SceneNode root_;
  RenderSwitches switches_;
  LoadedWorld world_;
  tarn::exporter::WorldPictures pictures_;
};

TEST_P(GltfExportTest, TextureComesFromItsPicture) {
  const Case& c = GetParam();
  std::filesystem::create_directories("Model");
  std::filesystem::create_directories("texture");
  tarn::test::WriteFile("Model/0.t3m",
                        "m\nNumVertex 3\nNumFace 1\nVERTEX 0 0 0 0\nVERTEX 1 1 0 0\nVERTEX 2 0 1 0\nFACE 0 0 1 2\n"
                        "MatID 0\nEnd\n");
  tarn::test::WriteFile("floor.txt", "NumTexture 1\nTexture 0 t.tga\nNumObject 1\nEnd\n");
  tarn::test::WriteFile("texture/t.tga", Tga(c.picture));
  tarn::test::WriteFile("exam.map", "FloorMap floor.txt\nEnd\n");
  WorldServices services;
  services.pictures = &pictures_;
  services.context = &engine_;
  services.createTexture = [](void* e, Image& picture, IDirectDrawSurface7** texture) {
    return static_cast<int>(static_cast<EngineDevice*>(e)->CreateTexture(picture, texture));
  };
  ASSERT_EQ(LoadWorldMap("exam.map", &root_, &switches_, services, world_), 1);
  ASSERT_NE(switches_.textures[0], nullptr);
  std::filesystem::remove("Tarn.log");
  if (c.after == After::kChanged) tarn::test::WriteFile("texture/t.tga", Tga({0xFF000000u, 0xFF000000u}));
  if (c.after == After::kRemoved) std::filesystem::remove("texture/t.tga");

  tarn::exporter::WorldSource source;
  source.root = &root_;
  source.switches = &switches_;
  source.pictures = &pictures_;
  source.device = engine_.device;
  source.world = &world_;
  tarn::gltf::Counts counts;
  std::string error;
  // Each picture is read once: twice would be twice the time, and a file
  // that changed between the readings would fail the export. (The closes
  // are watched too: inotify merges an event with the one before it when
  // they are the same, so two opens in a row would read as one.)
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  const bool watched = inotify_add_watch(watch, "texture/t.tga", IN_OPEN | IN_CLOSE_NOWRITE) >= 0;
  ASSERT_TRUE(tarn::exporter::ExportWorld(source, "out.glb", counts, error)) << error;
  int opens = 0;
  alignas(inotify_event) char events[4096];
  for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
    for (char* e = events; e < events + n; e += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(e)->len)
      opens += (reinterpret_cast<inotify_event*>(e)->mask & IN_OPEN) != 0;
  close(watch);
  EXPECT_EQ(opens, watched ? 1 : 0) << c.what;
  Exported file;
  ASSERT_TRUE(ReadGlb("out.glb", file)) << file.json;
  const std::string log = tarn::test::ReadFile("Tarn.log");
  const bool fromFile = c.after == After::kNothing;

  // The picture at full colour with its own alpha, or the device's copy.
  ASSERT_EQ(file.pixels.size(), c.picture.size());
  for (std::size_t i = 0; i < c.picture.size(); ++i)
    EXPECT_EQ(file.pixels[i], fromFile ? c.picture[i] : Texel4444(c.picture[i])) << c.what << " pixel " << i;
  EXPECT_NE(file.json.find(fromFile ? "\"extras\":{\"file\":\"texture/t.tga\"}" : "\"extras\":{\"file\":null}"),
            std::string::npos)
      << file.json;
  const std::string mode = *c.mode ? std::string("\"alphaMode\":\"") + c.mode + "\"" : "\"alphaMode\"";
  EXPECT_EQ(file.json.find(mode) != std::string::npos, *c.mode != '\0') << c.what << ": " << file.json;
  if (*c.log)
    EXPECT_NE(log.find(c.log), std::string::npos) << log;
  else
    EXPECT_EQ(log.find("glTF export"), std::string::npos) << log;
  EXPECT_NE(file.json.find("\"source\":\"floor.txt line 3: Model/0.t3m\""), std::string::npos) << file.json;
}

// Alpha 10 is 0 in a 4-bit texel, below the reference 8: a cut-out, though
// the picture's own alpha (kept in the file) is not 0.
INSTANTIATE_TEST_SUITE_P(
    Pictures, GltfExportTest,
    ::testing::Values(Case{"Opaque", "opaque, colours 4 bits cannot hold", {0xFF123456u, 0xFFABCDEFu}, After::kNothing, "", ""},
                      Case{"CutOut", "cut-out by the texels' alpha", {0x0A123456u, 0xFFABCDEFu}, After::kNothing, "MASK", ""},
                      Case{"Translucent", "translucent", {0xC8123456u, 0xFFABCDEFu}, After::kNothing, "BLEND", ""},
                      Case{"ChangedAfterLoad", "changed after the load",
                           {0xFF123456u, 0xFFABCDEFu},
                           After::kChanged,
                           "",
                           "texture 0: texture/t.tga has changed since the world loaded; the device's 16-bit copy"},
                      Case{"RemovedAfterLoad", "removed after the load",
                           {0x0A123456u, 0xFFABCDEFu},
                           After::kRemoved,
                           "MASK",
                           "texture 0: texture/t.tga cannot be read again; the device's 16-bit copy"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
