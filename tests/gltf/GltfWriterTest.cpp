// The glTF writer on its own: a tiny skinned, animated scene read back from
// its bytes, and the descriptions it must refuse. With TARN_GLTF_OUT set,
// the tiny scene is also written there (validate_writer.sh hands it to the
// Khronos validator).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "gltf/GlbFile.h"
#include "gltf/Gltf.h"
#include "gltf/Png.h"

namespace {

using namespace tarn::gltf;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// Two bones in a row, a quad bound half to each, a texture, a camera, and a
// second of motion: the second bone turns a quarter around z, the first
// moves and scales (STEP).
Scene TinyScene() {
  Scene s;
  s.asset.generator = "writer test";
  s.asset.extras = "{\"note\":" + JsonString("caf\xC3\xA9 \xFF") + "}";
  s.asset.sceneName = "tiny";
  Node root;
  root.name = "root";
  root.children = {1};
  root.hasTranslation = true;
  root.translation[1] = 1.0f;
  Node tip;
  tip.name = "tip";
  tip.hasTranslation = true;
  tip.translation[1] = 1.0f;
  Node body;
  body.name = "body";
  body.mesh = 0;
  body.skin = 0;
  Node eye;
  eye.name = "eye";
  eye.camera = 0;
  eye.hasMatrix = true;
  eye.matrix[14] = 5.0f;
  eye.extras = "{\"kind\":1}";
  s.nodes = {root, tip, body, eye};

  Mesh m;
  m.name = "quad";
  m.material = 0;
  m.data.positions = {-0.5f, 0, 0, 0.5f, 0, 0, 0.5f, 2, 0, -0.5f, 2, 0};
  m.data.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
  m.data.texcoords = {0, 1, 1, 1, 1, 0, 0, 0};
  m.data.joints = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  m.data.weights = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  m.data.indices = {0, 1, 2, 0, 2, 3};
  s.meshes = {m};

  Material mat;
  mat.name = "skin";
  mat.baseColorTexture = 0;
  mat.alphaMode = AlphaMode::kMask;
  mat.alphaCutoff = 8.0f / 255.0f;
  mat.doubleSided = true;
  s.materials = {mat};
  s.samplers = {Sampler{}};
  s.textures = {Texture{0, 0}};
  Image image;
  image.name = "checker";
  const std::uint8_t pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 0};
  EXPECT_TRUE(EncodePng(pixels, 2, 2, image.png));
  image.extras = "{\"file\":null}";
  s.images = {image};
  PerspectiveCamera cam;
  cam.name = "eye";
  cam.yfov = 0.8f;
  cam.aspectRatio = 4.0f / 3.0f;
  cam.znear = 0.1f;
  cam.zfar = 100.0f;
  s.cameras = {cam};

  Skin skin;
  skin.name = "bones";
  skin.joints = {0, 1};
  skin.skeleton = 0;
  // Inverse bind: the bones stand at y = 1 and y = 2.
  skin.inverseBindMatrices = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1,
                              1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -2, 0, 1};
  s.skins = {skin};

  Animation a;
  a.name = "wave";
  AnimationSampler turn;
  turn.times = {0.0f, 1.0f};
  turn.values = {0, 0, 0, 1, 0, 0, 0.70710677f, 0.70710677f};
  AnimationSampler move;
  move.times = {0.0f, 0.5f, 1.0f};
  move.values = {0, 1, 0, 0.5f, 1, 0, 0, 1, 0};
  move.interpolation = Interpolation::kStep;
  AnimationSampler grow;
  grow.times = {0.0f, 1.0f};
  grow.values = {1, 1, 1, 2, 2, 2};
  a.samplers = {turn, move, grow};
  a.channels = {{0, 1, Path::kRotation}, {1, 0, Path::kTranslation}, {2, 0, Path::kScale}};
  s.animations = {a};
  return s;
}

// The scene of TinyScene again, its meshes and images given only when asked,
// the way a gatherer of a big world gives them.
class Lazy : public SceneSource {
 public:
  explicit Lazy(const Scene& s) : s_(s) {}
  const Asset& AssetInfo() const override { return s_.asset; }
  std::size_t NodeCount() const override { return s_.nodes.size(); }
  void GetNode(std::size_t i, Node& n) const override { n = s_.nodes[i]; }
  std::size_t MeshCount() const override { return s_.meshes.size(); }
  void GetMesh(std::size_t i, Mesh& m, MeshShape& shape) const override {
    std::string e;
    m = Mesh{s_.meshes[i].name, s_.meshes[i].material, {}};
    ShapeOf(s_.meshes[i].data, shape, e);
  }
  bool LoadMesh(std::size_t i, MeshData& d, std::string&) const override {
    ++meshLoads;
    d = s_.meshes[i].data;
    if (growMesh) {  // a vertex more than its shape said
      d.positions.insert(d.positions.end(), {0, 0, 0});
      d.normals.insert(d.normals.end(), {0, 0, 1});
      d.texcoords.insert(d.texcoords.end(), {0, 0});
      d.joints.insert(d.joints.end(), {0, 0, 0, 0});
      d.weights.insert(d.weights.end(), {1, 0, 0, 0});
    }
    return true;
  }
  std::size_t ImageCount() const override { return s_.images.size(); }
  bool LoadImage(std::size_t i, Image& image, std::string&) const override {
    ++imageLoads;
    image = s_.images[i];
    return true;
  }
  const std::vector<Material>& Materials() const override { return s_.materials; }
  const std::vector<Sampler>& Samplers() const override { return s_.samplers; }
  const std::vector<Texture>& Textures() const override { return s_.textures; }
  const std::vector<PerspectiveCamera>& Cameras() const override { return s_.cameras; }
  const std::vector<Skin>& Skins() const override { return s_.skins; }
  const std::vector<Animation>& Animations() const override { return s_.animations; }
  mutable int meshLoads = 0, imageLoads = 0;
  bool growMesh = false;

 private:
  const Scene& s_;
};

TEST(GltfWriter, TinySkinnedAnimatedScene) {
  const Scene scene = TinyScene();
  std::vector<std::uint8_t> glb;
  std::string error;
  ASSERT_TRUE(WriteGlb(scene, glb, error)) << error;
  if (const char* out = std::getenv("TARN_GLTF_OUT")) std::ofstream(out, std::ios::binary).write(
      reinterpret_cast<const char*>(glb.data()), static_cast<std::streamsize>(glb.size()));

  // The container: header, a JSON chunk padded with spaces, the BIN chunk.
  ASSERT_GE(glb.size(), 28u);
  EXPECT_EQ(U32(glb, 0), constants::kGlbMagic);
  EXPECT_EQ(U32(glb, 4), 2u);
  EXPECT_EQ(U32(glb, 8), glb.size());
  const std::uint32_t jsonLength = U32(glb, 12);
  EXPECT_EQ(jsonLength % 4, 0u);
  EXPECT_EQ(U32(glb, 16), constants::kJsonChunk);
  const std::string json(glb.begin() + 20, glb.begin() + 20 + jsonLength);
  const std::size_t bin = 20 + jsonLength;
  ASSERT_LE(bin + 8, glb.size());
  EXPECT_EQ(U32(glb, bin + 4), constants::kBinChunk);
  EXPECT_EQ(bin + 8 + U32(glb, bin), glb.size());

  // Only nodes without a parent are roots; the rest is read as clients do.
  for (const char* part : {
           "\"scenes\":[{\"name\":\"tiny\",\"nodes\":[0,2,3]}]",
           "\"note\":\"caf\xC3\xA9 \xEF\xBF\xBD\"",
           "{\"name\":\"root\",\"children\":[1],\"translation\":[0,1,0]}",
           "{\"name\":\"body\",\"mesh\":0,\"skin\":0}",
           "\"camera\":0,\"matrix\":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,5,1],\"extras\":{\"kind\":1}",
           "\"attributes\":{\"POSITION\":0,\"NORMAL\":1,\"TEXCOORD_0\":2,\"JOINTS_0\":3,\"WEIGHTS_0\":4},\"indices\":5",
           "\"min\":[-0.5,0,0],\"max\":[0.5,2,0]",
           "\"byteStride\":32,\"target\":34962",
           "\"byteStride\":24,\"target\":34962",
           "\"alphaMode\":\"MASK\",\"alphaCutoff\":0.0313725509,\"doubleSided\":true",
           "\"skins\":[{\"name\":\"bones\",\"inverseBindMatrices\":6,\"skeleton\":0,\"joints\":[0,1]}]",
           "{\"sampler\":0,\"target\":{\"node\":1,\"path\":\"rotation\"}}",
           "{\"input\":9,\"interpolation\":\"STEP\",\"output\":10}",
           "{\"bufferView\":7,\"componentType\":5126,\"count\":3,\"type\":\"SCALAR\",\"min\":[0],\"max\":[1]},{\"bufferView\":8,\"componentType\":5126,"
           "\"count\":3,\"type\":\"VEC3\"}",
           "\"type\":\"VEC4\"}",
           "\"aspectRatio\":1.33333337",
       })
    EXPECT_NE(json.find(part), std::string::npos) << part << "\nin " << json;

  // The BIN chunk: the mesh's interleaved vertices first, its joints and
  // weights next, 16-bit indices after them.
  const std::uint8_t* data = glb.data() + bin + 8;
  float f[8];
  std::memcpy(f, data + 32 * 2, sizeof f);  // vertex 2
  EXPECT_EQ(f[0], 0.5f);
  EXPECT_EQ(f[1], 2.0f);
  EXPECT_EQ(f[5], 1.0f);
  EXPECT_EQ(f[6], 1.0f);
  std::uint16_t joint;
  std::memcpy(&joint, data + 128 + 24 * 3, 2);
  EXPECT_EQ(joint, 1);
  std::uint16_t index[6];
  std::memcpy(index, data + 128 + 96, sizeof index);
  EXPECT_EQ(index[4], 2);
  EXPECT_EQ(index[5], 3);

  // The same scene from a source that gives its mesh and image when asked:
  // the same bytes, the image made once, the mesh loaded once.
  Lazy lazy(scene);
  std::vector<std::uint8_t> again;
  ASSERT_TRUE(WriteGlb(lazy, again, error)) << error;
  EXPECT_EQ(again, glb);
  EXPECT_EQ(lazy.imageLoads, 1);
  EXPECT_EQ(lazy.meshLoads, 1);
  // Where no temporary file can be made the pictures wait in memory.
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string saved = tmpdir != nullptr ? tmpdir : "";
  setenv("TMPDIR", "/nonexistent/folder", 1);
  const bool heldInMemory = WriteGlb(lazy, again, error);
  if (tmpdir != nullptr)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
  ASSERT_TRUE(heldInMemory) << error;
  EXPECT_EQ(again, glb);
  // A source whose mesh is not what it planned fails, not a file that lies.
  lazy.growMesh = true;
  EXPECT_FALSE(WriteGlb(lazy, again, error));
  EXPECT_NE(error.find("differ from the shape"), std::string::npos) << error;
}

TEST(GltfWriter, LargeMeshesTakeWideIndices) {
  Scene s;
  s.nodes.resize(1);
  s.nodes[0].mesh = 0;
  Mesh m;
  const std::uint32_t n = 65535;  // the restart value may not be a 16-bit index
  m.data.positions.assign(std::size_t{n} * 3, 0.0f);
  for (std::uint32_t v = 0; v < n; ++v) m.data.positions[v * 3] = static_cast<float>(v);
  m.data.indices = {0, 1, n - 1};
  s.meshes = {m};
  std::vector<std::uint8_t> glb;
  std::string error;
  ASSERT_TRUE(WriteGlb(s, glb, error)) << error;
  const std::string json(glb.begin() + 20, glb.begin() + 20 + U32(glb, 12));
  EXPECT_NE(json.find("\"componentType\":5125,\"count\":3,\"type\":\"SCALAR\""), std::string::npos) << json;
  s.meshes[0].data.positions.resize(std::size_t{n - 1} * 3);
  s.meshes[0].data.indices = {0, 1, n - 2};
  ASSERT_TRUE(WriteGlb(s, glb, error)) << error;
  const std::string narrow(glb.begin() + 20, glb.begin() + 20 + U32(glb, 12));
  EXPECT_NE(narrow.find("\"componentType\":5123,\"count\":3,\"type\":\"SCALAR\""), std::string::npos) << narrow;
}

// Descriptions a client would choke on are refused, with what is wrong.
TEST(GltfWriter, RefusesBrokenDescriptions) {
  struct Case {
    const char* what;
    void (*breakIt)(Scene&);
    const char* message;
  };
  const Case cases[] = {
      {"a node names a missing mesh", [](Scene& s) { s.nodes[2].mesh = 5; }, "no such mesh"},
      {"a skin on a mesh without joints", [](Scene& s) { s.nodes[3].skin = 0; }, "a skin without a mesh"},
      {"a child twice", [](Scene& s) { s.nodes[3].children = {1}; }, "two parents"},
      {"a circle of parents", [](Scene& s) { s.nodes[1].children = {0}; }, "its own ancestor"},
      {"an index beyond the vertices", [](Scene& s) { s.meshes[0].data.indices[2] = 4; }, "beyond the 4 vertices"},
      {"weights without joints", [](Scene& s) { s.meshes[0].data.joints.clear(); }, "does not match"},
      {"a position that is no number", [](Scene& s) { s.meshes[0].data.positions[0] = std::nanf(""); }, "mesh 0"},
      {"a material names no texture", [](Scene& s) { s.materials[0].baseColorTexture = 3; }, "no such texture"},
      {"a joint names no node", [](Scene& s) { s.skins[0].joints[1] = 9; }, "names no node"},
      {"too few inverse bind numbers", [](Scene& s) { s.skins[0].inverseBindMatrices.pop_back(); }, "16 inverse"},
      {"times going back", [](Scene& s) { s.animations[0].samplers[1].times[2] = 0.25f; }, "increasing"},
      {"rotation values three wide", [](Scene& s) { s.animations[0].channels[0].sampler = 2; }, "do not fit"},
      {"a channel names no node", [](Scene& s) { s.animations[0].channels[0].node = 4; }, "names no node"},
      {"an image without bytes", [](Scene& s) { s.images[0].png.clear(); }, "no PNG bytes"},
  };
  for (const Case& c : cases) {
    Scene s = TinyScene();
    c.breakIt(s);
    std::vector<std::uint8_t> glb{1};
    std::string error;
    EXPECT_FALSE(WriteGlb(s, glb, error)) << c.what;
    EXPECT_TRUE(glb.empty()) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
}

}  // namespace
