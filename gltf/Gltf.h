// The binary glTF 2.0 writer: a scene description in, GLB bytes out. It
// knows neither the engine nor the tool; the gatherers in export/ describe
// what they hold (a loaded world, a character) and hand it here.
//
// Two ways to describe a scene:
//   - `Scene`: everything in memory, for small scenes (a character, tests);
//   - `SceneSource`: counts and getters, for big ones. Nodes are asked for
//     twice (once to count the JSON text, once to write it), meshes' shapes
//     when the file is planned and their arrays once, while they are written;
//     images once each, before the text is counted (their PNGs wait in a
//     nameless temporary file in $TMPDIR or /tmp; in memory where none can
//     be made). So a writer of a world
//     with thousands of objects holds one node, one mesh or one picture at a
//     time, and the JSON text in 64 KB pieces.
//
// What the file holds, and in which order (the bytes of a file depend only
// on the description):
//   - one buffer; its BIN chunk holds each mesh's vertices (position, then
//     normal and texture coordinate where present, interleaved), its joints
//     and weights (interleaved, where skinned) and its indices, then every
//     image's PNG, then each skin's inverse bind matrices, then each
//     animation sampler's times and values; every piece starts on 4 bytes;
//   - indices are 16-bit while a mesh has fewer than 65535 vertices (65535
//     is the restart value some clients reserve), 32-bit beyond;
//   - nodes without a parent are the scene's roots, in their order;
//   - texts are UTF-8; a byte that starts no valid sequence becomes U+FFFD;
//   - numbers are written with nine significant digits, so each reads back
//     as the same float (a -0 stays -0: a gatherer that wants 0 adds 0).
// What the writer refuses (false with a message, nothing written to a
// file): an index or reference out of range, arrays whose sizes disagree
// with the vertex count, a mesh whose arrays differ from its shape, a file
// beyond 4 GiB (GLB's 32-bit length), a node that is its own ancestor or
// has two parents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn::gltf {

// glTF's numbers, by name.
namespace constants {
constexpr std::uint32_t kGlbMagic = 0x46546C67;   // "glTF"
constexpr std::uint32_t kGlbVersion = 2;
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kBinChunk = 0x004E4942;   // "BIN\0"
constexpr std::uint64_t kGlbLimit = 0xFFFFFFFFull;

constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kFloat = 5126;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;

constexpr int kTriangles = 4;

constexpr int kNearest = 9728;
constexpr int kLinear = 9729;
constexpr int kNearestMipmapNearest = 9984;
constexpr int kLinearMipmapNearest = 9985;
constexpr int kNearestMipmapLinear = 9986;
constexpr int kLinearMipmapLinear = 9987;

constexpr int kClampToEdge = 33071;
constexpr int kMirroredRepeat = 33648;
constexpr int kRepeat = 10497;
}  // namespace constants

// A JSON object's text, as `extras` of a node, an image or the asset:
// written into the file as it stands ("{...}"). Empty: no extras.
using JsonObject = std::string;

// `text` (UTF-8) as a JSON string with its quotes, for building extras.
std::string JsonString(const std::string& text);
// A float as the writer writes it.
std::string JsonNumber(float value);

struct Node {
  std::string name;
  std::int64_t mesh = -1;
  std::int64_t skin = -1;    // with a mesh whose vertices carry joints
  std::int64_t camera = -1;
  std::vector<std::int64_t> children;
  // Either a matrix (column-major, glTF's order) or translation, rotation
  // (x, y, z, w) and scale; a node with neither stays where its parent is.
  bool hasMatrix = false;
  float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  bool hasTranslation = false, hasRotation = false, hasScale = false;
  float translation[3] = {0, 0, 0};
  float rotation[4] = {0, 0, 0, 1};
  float scale[3] = {1, 1, 1};
  JsonObject extras;
};

// One mesh's arrays; per vertex: 3 position floats, 3 normal floats and 2
// texture coordinates (both may be left empty), 4 joints and 4 weights
// (both or neither). Triangles, three indices each.
struct MeshData {
  std::vector<float> positions;
  std::vector<float> normals;
  std::vector<float> texcoords;
  std::vector<std::uint16_t> joints;
  std::vector<float> weights;
  std::vector<std::uint32_t> indices;
};

// What the JSON text needs of a mesh before its arrays are written.
struct MeshShape {
  std::uint64_t vertexCount = 0;
  std::uint64_t indexCount = 0;
  bool normals = false, texcoords = false, skinned = false;
  float min[3] = {0, 0, 0}, max[3] = {0, 0, 0};  // of the positions
};
// The shape of `data`; false when its arrays disagree with each other (the
// message in `error`).
bool ShapeOf(const MeshData& data, MeshShape& shape, std::string& error);

struct Mesh {
  std::string name;
  std::int64_t material = -1;  // -1: the client's default material
  MeshData data;               // a Scene's meshes; a SceneSource loads them
};

enum class AlphaMode { kOpaque, kMask, kBlend };

struct Material {
  std::string name;
  std::int64_t baseColorTexture = -1;
  bool hasBaseColorFactor = false;
  float baseColorFactor[4] = {1, 1, 1, 1};
  float metallicFactor = 0.0f;   // the system's surfaces are not metal
  float roughnessFactor = 1.0f;
  AlphaMode alphaMode = AlphaMode::kOpaque;
  float alphaCutoff = 0.5f;  // with kMask
  bool doubleSided = false;
};

struct Sampler {
  int magFilter = constants::kLinear;
  int minFilter = constants::kLinearMipmapLinear;
  int wrapS = constants::kRepeat;
  int wrapT = constants::kRepeat;
};

struct Texture {
  std::int64_t sampler = -1;
  std::int64_t image = 0;
};

struct Image {
  std::string name;
  std::vector<std::uint8_t> png;
  JsonObject extras;
};

struct PerspectiveCamera {
  std::string name;
  float yfov = 1.0f;  // radians
  float aspectRatio = 0.0f;  // 0: left to the client
  float znear = 0.1f;
  float zfar = 0.0f;  // 0: infinite
};

struct Skin {
  std::string name;
  std::vector<std::int64_t> joints;  // nodes
  std::vector<float> inverseBindMatrices;  // 16 per joint, column-major; empty: identities
  std::int64_t skeleton = -1;  // the common root, where given
};

enum class Interpolation { kLinear, kStep };
enum class Path { kTranslation, kRotation, kScale };

struct AnimationSampler {
  std::vector<float> times;   // seconds, increasing
  std::vector<float> values;  // 3 per time (translation, scale) or 4 (rotation: x, y, z, w)
  Interpolation interpolation = Interpolation::kLinear;
};

struct AnimationChannel {
  std::int64_t sampler = 0;
  std::int64_t node = 0;
  Path path = Path::kTranslation;
};

struct Animation {
  std::string name;
  std::vector<AnimationSampler> samplers;
  std::vector<AnimationChannel> channels;
};

struct Asset {
  std::string generator;
  JsonObject extras;
  std::string sceneName;  // the one scene's name; empty: none
};

// A scene for the streaming writer. The small parts are plain lists; nodes,
// meshes and images are asked for by index (see the top of this file).
class SceneSource {
 public:
  virtual ~SceneSource() = default;
  virtual const Asset& AssetInfo() const = 0;

  virtual std::size_t NodeCount() const = 0;
  virtual void GetNode(std::size_t index, Node& node) const = 0;

  virtual std::size_t MeshCount() const = 0;
  // The mesh's name and material (its data left empty) and its shape.
  virtual void GetMesh(std::size_t index, Mesh& mesh, MeshShape& shape) const = 0;
  // Its arrays, which must match the shape; false with a message.
  virtual bool LoadMesh(std::size_t index, MeshData& data, std::string& error) const = 0;

  virtual std::size_t ImageCount() const = 0;
  // Called once per image, in order; false with a message fails the file.
  virtual bool LoadImage(std::size_t index, Image& image, std::string& error) const = 0;

  virtual const std::vector<Material>& Materials() const = 0;
  virtual const std::vector<Sampler>& Samplers() const = 0;
  virtual const std::vector<Texture>& Textures() const = 0;
  virtual const std::vector<PerspectiveCamera>& Cameras() const = 0;
  virtual const std::vector<Skin>& Skins() const = 0;
  virtual const std::vector<Animation>& Animations() const = 0;
};

// Everything in memory.
struct Scene : SceneSource {
  Asset asset;
  std::vector<Node> nodes;
  std::vector<Mesh> meshes;
  std::vector<Material> materials;
  std::vector<Sampler> samplers;
  std::vector<Texture> textures;
  std::vector<Image> images;
  std::vector<PerspectiveCamera> cameras;
  std::vector<Skin> skins;
  std::vector<Animation> animations;

  const Asset& AssetInfo() const override { return asset; }
  std::size_t NodeCount() const override { return nodes.size(); }
  void GetNode(std::size_t index, Node& node) const override { node = nodes[index]; }
  std::size_t MeshCount() const override { return meshes.size(); }
  void GetMesh(std::size_t index, Mesh& mesh, MeshShape& shape) const override;
  bool LoadMesh(std::size_t index, MeshData& data, std::string& error) const override;
  std::size_t ImageCount() const override { return images.size(); }
  bool LoadImage(std::size_t index, Image& image, std::string& error) const override;
  const std::vector<Material>& Materials() const override { return materials; }
  const std::vector<Sampler>& Samplers() const override { return samplers; }
  const std::vector<Texture>& Textures() const override { return textures; }
  const std::vector<PerspectiveCamera>& Cameras() const override { return cameras; }
  const std::vector<Skin>& Skins() const override { return skins; }
  const std::vector<Animation>& Animations() const override { return animations; }
};

// Where the bytes go, in order; false stops the writer.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
};

struct Counts {
  std::int64_t nodes = 0, meshes = 0, images = 0;
  std::int64_t triangles = 0;  // over all nodes: a shared mesh once per node
  std::uint64_t bytes = 0;
};

// The GLB into `sink`; false with a message in `error` (the sink may then
// hold part of a file).
bool WriteGlb(const SceneSource& scene, ByteSink& sink, Counts& counts, std::string& error);
// The GLB in memory; `out` is left empty on failure.
bool WriteGlb(const SceneSource& scene, std::vector<std::uint8_t>& out, std::string& error);

}  // namespace tarn::gltf
