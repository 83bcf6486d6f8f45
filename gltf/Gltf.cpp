// The binary glTF writer (see Gltf.h).
#include "gltf/Gltf.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include <unistd.h>

namespace tarn::gltf {

using namespace constants;

// The file's numbers are little-endian, and are written as the host holds them.
static_assert(std::endian::native == std::endian::little);

namespace {

std::size_t Utf8Length(const std::string& s, std::size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

void AppendString(std::string& out, const std::string& text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  out += '"';
}

void AppendFloat(std::string& out, float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
  out += buf;
}

void AppendFloats(std::string& out, const float* v, int n) {
  out += '[';
  for (int i = 0; i < n; ++i) {
    if (i) out += ',';
    AppendFloat(out, v[i]);
  }
  out += ']';
}

std::string Num(std::uint64_t v) { return std::to_string(v); }

std::uint64_t Pad4(std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; }

const char* PathName(Path p) {
  switch (p) {
    case Path::kTranslation:
      return "translation";
    case Path::kRotation:
      return "rotation";
    case Path::kScale:
      return "scale";
  }
  return "translation";
}

int Width(Path p) { return p == Path::kRotation ? 4 : 3; }

// Where each piece of the BIN chunk lies, and the numbers of the accessors
// and buffer views that describe it.
struct MeshLayout {
  MeshShape shape;
  std::string name;
  std::int64_t material = -1;
  std::uint64_t vertexOffset = 0, skinOffset = 0, indexOffset = 0;
  std::uint64_t firstAccessor = 0, firstView = 0;
  std::uint32_t stride = 0;
  bool shortIndices() const { return shape.vertexCount < 65535; }
  std::uint64_t indexBytes() const { return shape.indexCount * (shortIndices() ? 2 : 4); }
  int views() const { return shape.skinned ? 3 : 2; }
  int accessors() const { return 2 + (shape.normals ? 1 : 0) + (shape.texcoords ? 1 : 0) + (shape.skinned ? 2 : 0); }
};

struct Piece {
  std::uint64_t offset = 0, length = 0;
};

class Writer {
 public:
  Writer(const SceneSource& scene, std::string& error) : scene_(scene), error_(error) {}
  ~Writer() {
    if (spill_ != nullptr) std::fclose(spill_);
  }
  bool Plan();
  bool Write(ByteSink& sink, Counts& counts);

 private:
  bool Fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
  }
  bool CheckNodes();
  bool MakeJson(ByteSink* sink);
  void Spill(std::size_t keep = std::size_t{1} << 16);
  void AppendNode(std::size_t i, const Node& n);
  bool Emit(const void* data, std::size_t n);
  bool EmitPad(char fill);

  const SceneSource& scene_;
  std::string& error_;
  std::vector<MeshLayout> meshes_;
  std::vector<Piece> images_;
  std::vector<std::string> imageNames_;
  std::vector<JsonObject> imageExtras_;
  std::vector<Piece> skins_;
  std::vector<std::vector<Piece>> animations_;  // per sampler: its times, then its values
  std::uint64_t bin_ = 0;
  std::uint64_t meshViews_ = 0, meshAccessors_ = 0;
  std::vector<std::int64_t> nodeMesh_;  // for the counts
  std::FILE* spill_ = nullptr;  // the images' PNG, made once
  std::vector<std::vector<std::uint8_t>> held_;  // or here, where no temporary file can be made
  std::string json_;
  std::uint64_t jsonBytes_ = 0;
  ByteSink* sink_ = nullptr;
  std::uint64_t written_ = 0;
  bool sinkOk_ = true;
};

// A nameless temporary file in $TMPDIR (else /tmp) for the pictures; null
// where none can be made, and the writer holds them in memory instead.
std::FILE* SpillFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string name = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tarn-glb-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return nullptr;
  ::unlink(name.c_str());
  std::FILE* f = ::fdopen(fd, "w+b");
  if (f == nullptr) ::close(fd);
  return f;
}

bool ValidShape(const MeshShape& s) {
  if (s.indexCount % 3 != 0) return false;
  for (int a = 0; a < 3; ++a)
    if (!std::isfinite(s.min[a]) || !std::isfinite(s.max[a])) return false;
  return true;
}

bool Writer::CheckNodes() {
  const std::size_t count = scene_.NodeCount();
  std::vector<std::int64_t> parent(count, -1);
  nodeMesh_.assign(count, -1);
  Node n;
  for (std::size_t i = 0; i < count; ++i) {
    scene_.GetNode(i, n);
    const std::string who = "node " + Num(i);
    if (n.mesh >= static_cast<std::int64_t>(meshes_.size()) || n.mesh < -1) return Fail(who + ": no such mesh");
    if (n.skin >= static_cast<std::int64_t>(scene_.Skins().size()) || n.skin < -1) return Fail(who + ": no such skin");
    if (n.skin >= 0 && (n.mesh < 0 || !meshes_[static_cast<std::size_t>(n.mesh)].shape.skinned))
      return Fail(who + ": a skin without a mesh whose vertices have joints");
    if (n.camera >= static_cast<std::int64_t>(scene_.Cameras().size()) || n.camera < -1)
      return Fail(who + ": no such camera");
    nodeMesh_[i] = n.mesh;
    for (std::int64_t c : n.children) {
      if (c < 0 || c >= static_cast<std::int64_t>(count) || static_cast<std::size_t>(c) == i)
        return Fail(who + ": child " + std::to_string(c) + " is no other node");
      if (parent[static_cast<std::size_t>(c)] >= 0) return Fail("node " + std::to_string(c) + " has two parents");
      parent[static_cast<std::size_t>(c)] = static_cast<std::int64_t>(i);
    }
  }
  // A circle of parents has no root: walking up from any of its nodes meets
  // the walk again. Nodes known to reach a root end a walk early.
  std::vector<char> state(count, 0);  // 0 unseen, 1 on the current walk, 2 reaches a root
  std::vector<std::size_t> walk;
  for (std::size_t i = 0; i < count; ++i) {
    walk.clear();
    for (std::size_t at = i;;) {
      if (state[at] == 2) break;
      if (state[at] == 1) return Fail("node " + Num(at) + " is its own ancestor");
      state[at] = 1;
      walk.push_back(at);
      if (parent[at] < 0) break;
      at = static_cast<std::size_t>(parent[at]);
    }
    for (std::size_t w : walk) state[w] = 2;
  }
  return true;
}

bool Writer::Plan() {
  const std::size_t meshCount = scene_.MeshCount();
  const std::int64_t materials = static_cast<std::int64_t>(scene_.Materials().size());
  meshes_.resize(meshCount);
  Mesh mesh;
  for (std::size_t m = 0; m < meshCount; ++m) {
    MeshLayout& L = meshes_[m];
    scene_.GetMesh(m, mesh, L.shape);
    L.name = mesh.name;
    L.material = mesh.material;
    if (L.material < -1 || L.material >= materials) return Fail("mesh " + Num(m) + ": no such material");
    if (!ValidShape(L.shape)) return Fail("mesh " + Num(m) + ": its bounds or index count are not usable");
    L.stride = 12 + (L.shape.normals ? 12 : 0) + (L.shape.texcoords ? 8 : 0);
    L.firstView = meshViews_;
    L.firstAccessor = meshAccessors_;
    meshViews_ += static_cast<std::uint64_t>(L.views());
    meshAccessors_ += static_cast<std::uint64_t>(L.accessors());
    L.vertexOffset = bin_;
    bin_ += L.shape.vertexCount * L.stride;
    if (L.shape.skinned) {
      L.skinOffset = bin_;
      bin_ += L.shape.vertexCount * 24;
    }
    L.indexOffset = bin_;
    bin_ = Pad4(bin_ + L.indexBytes());
  }

  const auto& textures = scene_.Textures();
  const std::int64_t imageCount = static_cast<std::int64_t>(scene_.ImageCount());
  for (const Material& mat : scene_.Materials())
    if (mat.baseColorTexture < -1 || mat.baseColorTexture >= static_cast<std::int64_t>(textures.size()))
      return Fail("material " + mat.name + ": no such texture");
  for (const Texture& t : textures)
    if (t.image < 0 || t.image >= imageCount || t.sampler < -1 ||
        t.sampler >= static_cast<std::int64_t>(scene_.Samplers().size()))
      return Fail("a texture names no image or no sampler");

  // Each image is made once; its PNG waits in a temporary file until the
  // text that gives its length has been written.
  images_.resize(static_cast<std::size_t>(imageCount));
  imageNames_.resize(images_.size());
  imageExtras_.resize(images_.size());
  if (!images_.empty()) spill_ = SpillFile();
  {
    Image image;
    for (std::size_t i = 0; i < images_.size(); ++i) {
      image = Image{};
      std::string why;
      if (!scene_.LoadImage(i, image, why)) return Fail("image " + Num(i) + ": " + why);
      if (image.png.empty()) return Fail("image " + Num(i) + ": no PNG bytes");
      images_[i].offset = bin_;
      images_[i].length = image.png.size();
      bin_ = Pad4(bin_ + image.png.size());
      if (spill_ == nullptr)
        held_.push_back(std::move(image.png));
      else if (std::fwrite(image.png.data(), 1, image.png.size(), spill_) != image.png.size())
        return Fail(std::string("the pictures' temporary file: ") + std::strerror(errno));
      imageNames_[i] = std::move(image.name);
      imageExtras_[i] = std::move(image.extras);
    }
  }

  const std::int64_t nodeCount = static_cast<std::int64_t>(scene_.NodeCount());
  for (const Skin& s : scene_.Skins()) {
    if (s.joints.empty()) return Fail("skin " + s.name + ": no joints");
    for (std::int64_t j : s.joints)
      if (j < 0 || j >= nodeCount) return Fail("skin " + s.name + ": a joint names no node");
    if (s.skeleton < -1 || s.skeleton >= nodeCount) return Fail("skin " + s.name + ": its skeleton names no node");
    if (!s.inverseBindMatrices.empty() && s.inverseBindMatrices.size() != s.joints.size() * 16)
      return Fail("skin " + s.name + ": 16 inverse bind numbers per joint");
    Piece p;
    p.offset = bin_;
    p.length = s.inverseBindMatrices.size() * 4;
    bin_ = Pad4(bin_ + p.length);
    skins_.push_back(p);
  }
  for (const Animation& a : scene_.Animations()) {
    std::vector<Piece> pieces;
    for (const AnimationSampler& s : a.samplers) {
      if (s.times.empty()) return Fail("animation " + a.name + ": a sampler without times");
      for (std::size_t k = 0; k < s.times.size(); ++k)
        if (!std::isfinite(s.times[k]) || s.times[k] < 0 || (k > 0 && !(s.times[k] > s.times[k - 1])))
          return Fail("animation " + a.name + ": times must be finite, from 0 and increasing");
      for (float v : s.values)
        if (!std::isfinite(v)) return Fail("animation " + a.name + ": a value is not finite");
      Piece t{bin_, s.times.size() * 4};
      bin_ = Pad4(bin_ + t.length);
      Piece v{bin_, s.values.size() * 4};
      bin_ = Pad4(bin_ + v.length);
      pieces.push_back(t);
      pieces.push_back(v);
    }
    for (const AnimationChannel& c : a.channels) {
      if (c.sampler < 0 || c.sampler >= static_cast<std::int64_t>(a.samplers.size()))
        return Fail("animation " + a.name + ": a channel names no sampler");
      if (c.node < 0 || c.node >= nodeCount) return Fail("animation " + a.name + ": a channel names no node");
      const AnimationSampler& s = a.samplers[static_cast<std::size_t>(c.sampler)];
      if (s.values.size() != s.times.size() * static_cast<std::size_t>(Width(c.path)))
        return Fail("animation " + a.name + ": a sampler's values do not fit its times and path");
    }
    animations_.push_back(std::move(pieces));
  }
  if (!CheckNodes()) return false;
  // Counted first: its length goes before it in the file.
  return MakeJson(nullptr);
}

bool Writer::Emit(const void* data, std::size_t n) {
  if (n == 0) return true;
  if (sinkOk_ && !sink_->Write(data, n)) sinkOk_ = false;
  written_ += n;
  return sinkOk_;
}

bool Writer::EmitPad(char fill) {
  const char pad[4] = {fill, fill, fill, fill};
  return Emit(pad, static_cast<std::size_t>(Pad4(written_) - written_));
}

// The text goes out in pieces: with many objects it is megabytes.
void Writer::Spill(std::size_t keep) {
  if (json_.size() < keep) return;
  if (sink_ != nullptr) Emit(json_.data(), json_.size());
  jsonBytes_ += json_.size();
  json_.clear();
}

void Writer::AppendNode(std::size_t i, const Node& n) {
  if (i) json_ += ',';
  json_ += "{\"name\":";
  AppendString(json_, n.name);
  if (n.mesh >= 0) json_ += ",\"mesh\":" + Num(static_cast<std::uint64_t>(n.mesh));
  if (n.skin >= 0) json_ += ",\"skin\":" + Num(static_cast<std::uint64_t>(n.skin));
  if (n.camera >= 0) json_ += ",\"camera\":" + Num(static_cast<std::uint64_t>(n.camera));
  if (!n.children.empty()) {
    json_ += ",\"children\":[";
    for (std::size_t k = 0; k < n.children.size(); ++k) {
      if (k) json_ += ',';
      json_ += Num(static_cast<std::uint64_t>(n.children[k]));
    }
    json_ += ']';
  }
  if (n.hasMatrix) {
    json_ += ",\"matrix\":";
    AppendFloats(json_, n.matrix, 16);
  } else {
    if (n.hasTranslation) {
      json_ += ",\"translation\":";
      AppendFloats(json_, n.translation, 3);
    }
    if (n.hasRotation) {
      json_ += ",\"rotation\":";
      AppendFloats(json_, n.rotation, 4);
    }
    if (n.hasScale) {
      json_ += ",\"scale\":";
      AppendFloats(json_, n.scale, 3);
    }
  }
  if (!n.extras.empty()) json_ += ",\"extras\":" + n.extras;
  json_ += '}';
}

bool Writer::MakeJson(ByteSink* sink) {
  sink_ = sink;
  jsonBytes_ = 0;
  json_.clear();
  const Asset& asset = scene_.AssetInfo();
  json_ += "{\"asset\":{\"version\":\"2.0\"";
  if (!asset.generator.empty()) {
    json_ += ",\"generator\":";
    AppendString(json_, asset.generator);
  }
  if (!asset.extras.empty()) json_ += ",\"extras\":" + asset.extras;
  json_ += '}';

  const std::size_t nodeCount = scene_.NodeCount();
  Node node;
  // The roots: nodes no other node names as a child.
  std::vector<bool> child(nodeCount, false);
  for (std::size_t i = 0; i < nodeCount; ++i) {
    scene_.GetNode(i, node);
    for (std::int64_t c : node.children) child[static_cast<std::size_t>(c)] = true;
  }
  json_ += ",\"scene\":0,\"scenes\":[{";
  if (!asset.sceneName.empty()) {
    json_ += "\"name\":";
    AppendString(json_, asset.sceneName);
    json_ += ',';
  }
  json_ += "\"nodes\":[";
  bool first = true;
  for (std::size_t i = 0; i < nodeCount; ++i) {
    if (child[i]) continue;
    Spill();
    if (!first) json_ += ',';
    first = false;
    json_ += Num(i);
  }
  json_ += "]}]";
  if (nodeCount != 0) {
    json_ += ",\"nodes\":[";
    for (std::size_t i = 0; i < nodeCount; ++i) {
      Spill();
      scene_.GetNode(i, node);
      AppendNode(i, node);
    }
    json_ += ']';
  }
  const auto& cameras = scene_.Cameras();
  if (!cameras.empty()) {
    json_ += ",\"cameras\":[";
    for (std::size_t i = 0; i < cameras.size(); ++i) {
      const PerspectiveCamera& c = cameras[i];
      if (i) json_ += ',';
      json_ += "{\"name\":";
      AppendString(json_, c.name);
      json_ += ",\"type\":\"perspective\",\"perspective\":{\"yfov\":";
      AppendFloat(json_, c.yfov);
      if (c.aspectRatio > 0) {
        json_ += ",\"aspectRatio\":";
        AppendFloat(json_, c.aspectRatio);
      }
      json_ += ",\"znear\":";
      AppendFloat(json_, c.znear);
      if (c.zfar > 0) {
        json_ += ",\"zfar\":";
        AppendFloat(json_, c.zfar);
      }
      json_ += "}}";
    }
    json_ += ']';
  }

  if (!meshes_.empty()) {
    json_ += ",\"meshes\":[";
    for (std::size_t m = 0; m < meshes_.size(); ++m) {
      Spill();
      const MeshLayout& L = meshes_[m];
      std::uint64_t a = L.firstAccessor;
      if (m) json_ += ',';
      json_ += '{';
      if (!L.name.empty()) {
        json_ += "\"name\":";
        AppendString(json_, L.name);
        json_ += ',';
      }
      json_ += "\"primitives\":[{\"attributes\":{\"POSITION\":" + Num(a++);
      if (L.shape.normals) json_ += ",\"NORMAL\":" + Num(a++);
      if (L.shape.texcoords) json_ += ",\"TEXCOORD_0\":" + Num(a++);
      if (L.shape.skinned) {
        json_ += ",\"JOINTS_0\":" + Num(a++);
        json_ += ",\"WEIGHTS_0\":" + Num(a++);
      }
      json_ += "},\"indices\":" + Num(a);
      if (L.material >= 0) json_ += ",\"material\":" + Num(static_cast<std::uint64_t>(L.material));
      json_ += ",\"mode\":" + Num(kTriangles) + "}]}";
    }
    json_ += ']';
  }

  // Accessors: the meshes', then the skins', then the animations'.
  const bool anyAccessor = !meshes_.empty() || !skins_.empty() || !animations_.empty();
  std::uint64_t nextView = meshViews_ + images_.size();
  if (anyAccessor) {
    json_ += ",\"accessors\":[";
    bool firstAccessor = true;
    auto open = [&] {
      if (!firstAccessor) json_ += ',';
      firstAccessor = false;
    };
    for (const MeshLayout& L : meshes_) {
      Spill();
      const std::string count = Num(L.shape.vertexCount);
      const std::string view = Num(L.firstView);
      std::uint32_t offset = 12;
      open();
      json_ += "{\"bufferView\":" + view + ",\"componentType\":" + Num(kFloat) + ",\"count\":" + count +
               ",\"type\":\"VEC3\",\"min\":";
      AppendFloats(json_, L.shape.min, 3);
      json_ += ",\"max\":";
      AppendFloats(json_, L.shape.max, 3);
      json_ += '}';
      if (L.shape.normals) {
        json_ += ",{\"bufferView\":" + view + ",\"byteOffset\":" + Num(offset) + ",\"componentType\":" + Num(kFloat) +
                 ",\"count\":" + count + ",\"type\":\"VEC3\"}";
        offset += 12;
      }
      if (L.shape.texcoords)
        json_ += ",{\"bufferView\":" + view + ",\"byteOffset\":" + Num(offset) + ",\"componentType\":" + Num(kFloat) +
                 ",\"count\":" + count + ",\"type\":\"VEC2\"}";
      if (L.shape.skinned) {
        const std::string skinView = Num(L.firstView + 1);
        json_ += ",{\"bufferView\":" + skinView + ",\"componentType\":" + Num(kUnsignedShort) + ",\"count\":" + count +
                 ",\"type\":\"VEC4\"},{\"bufferView\":" + skinView + ",\"byteOffset\":8,\"componentType\":" +
                 Num(kFloat) + ",\"count\":" + count + ",\"type\":\"VEC4\"}";
      }
      json_ += ",{\"bufferView\":" + Num(L.firstView + static_cast<std::uint64_t>(L.views()) - 1) +
               ",\"componentType\":" + Num(L.shortIndices() ? kUnsignedShort : kUnsignedInt) +
               ",\"count\":" + Num(L.shape.indexCount) + ",\"type\":\"SCALAR\"}";
    }
    for (const Piece& p : skins_) {
      if (p.length == 0) continue;
      open();
      json_ += "{\"bufferView\":" + Num(nextView++) + ",\"componentType\":" + Num(kFloat) +
               ",\"count\":" + Num(p.length / 64) + ",\"type\":\"MAT4\"}";
    }
    const auto& animations = scene_.Animations();
    for (std::size_t a = 0; a < animations.size(); ++a) {
      for (std::size_t s = 0; s < animations[a].samplers.size(); ++s) {
        Spill();
        const AnimationSampler& sampler = animations[a].samplers[s];
        // The output's width follows the channels that use it; a sampler no
        // channel uses is written as 3 wide where its values allow.
        std::size_t width = sampler.values.size() == sampler.times.size() * 4 ? 4 : 3;
        for (const AnimationChannel& c : animations[a].channels)
          if (c.sampler == static_cast<std::int64_t>(s)) width = static_cast<std::size_t>(Width(c.path));
        open();
        json_ += "{\"bufferView\":" + Num(nextView++) + ",\"componentType\":" + Num(kFloat) +
                 ",\"count\":" + Num(sampler.times.size()) + ",\"type\":\"SCALAR\",\"min\":[";
        AppendFloat(json_, sampler.times.front());
        json_ += "],\"max\":[";
        AppendFloat(json_, sampler.times.back());
        json_ += "]},{\"bufferView\":" + Num(nextView++) + ",\"componentType\":" + Num(kFloat) +
                 ",\"count\":" + Num(sampler.times.size()) + ",\"type\":\"" + (width == 4 ? "VEC4" : "VEC3") + "\"}";
      }
    }
    json_ += ']';
  }

  if (bin_ != 0) {
    json_ += ",\"bufferViews\":[";
    bool firstView = true;
    auto view = [&](std::uint64_t offset, std::uint64_t length, std::uint32_t stride, int target) {
      if (!firstView) json_ += ',';
      firstView = false;
      json_ += "{\"buffer\":0,\"byteOffset\":" + Num(offset) + ",\"byteLength\":" + Num(length);
      if (stride != 0) json_ += ",\"byteStride\":" + Num(stride);
      if (target != 0) json_ += ",\"target\":" + Num(static_cast<std::uint64_t>(target));
      json_ += '}';
    };
    for (const MeshLayout& L : meshes_) {
      Spill();
      view(L.vertexOffset, L.shape.vertexCount * L.stride, L.stride, kArrayBuffer);
      if (L.shape.skinned) view(L.skinOffset, L.shape.vertexCount * 24, 24, kArrayBuffer);
      view(L.indexOffset, L.indexBytes(), 0, kElementArrayBuffer);
    }
    for (const Piece& p : images_) view(p.offset, p.length, 0, 0);
    for (const Piece& p : skins_)
      if (p.length != 0) view(p.offset, p.length, 0, 0);
    for (const auto& pieces : animations_)
      for (const Piece& p : pieces) {
        Spill();
        view(p.offset, p.length, 0, 0);
      }
    json_ += "],\"buffers\":[{\"byteLength\":" + Num(bin_) + "}]";
  }

  const auto& materials = scene_.Materials();
  if (!materials.empty()) {
    json_ += ",\"materials\":[";
    for (std::size_t i = 0; i < materials.size(); ++i) {
      const Material& m = materials[i];
      if (i) json_ += ',';
      json_ += "{\"name\":";
      AppendString(json_, m.name);
      json_ += ",\"pbrMetallicRoughness\":{";
      if (m.hasBaseColorFactor) {
        json_ += "\"baseColorFactor\":";
        AppendFloats(json_, m.baseColorFactor, 4);
        json_ += ',';
      }
      if (m.baseColorTexture >= 0)
        json_ += "\"baseColorTexture\":{\"index\":" + Num(static_cast<std::uint64_t>(m.baseColorTexture)) + "},";
      json_ += "\"metallicFactor\":";
      AppendFloat(json_, m.metallicFactor);
      json_ += ",\"roughnessFactor\":";
      AppendFloat(json_, m.roughnessFactor);
      json_ += '}';
      if (m.alphaMode == AlphaMode::kMask) {
        json_ += ",\"alphaMode\":\"MASK\",\"alphaCutoff\":";
        AppendFloat(json_, m.alphaCutoff);
      } else if (m.alphaMode == AlphaMode::kBlend) {
        json_ += ",\"alphaMode\":\"BLEND\"";
      }
      if (m.doubleSided) json_ += ",\"doubleSided\":true";
      json_ += '}';
    }
    json_ += ']';
  }
  const auto& samplers = scene_.Samplers();
  if (!samplers.empty()) {
    json_ += ",\"samplers\":[";
    for (std::size_t i = 0; i < samplers.size(); ++i) {
      const Sampler& s = samplers[i];
      if (i) json_ += ',';
      json_ += "{\"magFilter\":" + std::to_string(s.magFilter) + ",\"minFilter\":" + std::to_string(s.minFilter) +
               ",\"wrapS\":" + std::to_string(s.wrapS) + ",\"wrapT\":" + std::to_string(s.wrapT) + "}";
    }
    json_ += ']';
  }
  if (!images_.empty()) {
    json_ += ",\"images\":[";
    for (std::size_t i = 0; i < images_.size(); ++i) {
      if (i) json_ += ',';
      json_ += "{\"name\":";
      AppendString(json_, imageNames_[i]);
      json_ += ",\"mimeType\":\"image/png\",\"bufferView\":" + Num(meshViews_ + i);
      if (!imageExtras_[i].empty()) json_ += ",\"extras\":" + imageExtras_[i];
      json_ += '}';
    }
    json_ += ']';
  }
  const auto& textures = scene_.Textures();
  if (!textures.empty()) {
    json_ += ",\"textures\":[";
    for (std::size_t i = 0; i < textures.size(); ++i) {
      if (i) json_ += ',';
      json_ += '{';
      if (textures[i].sampler >= 0) json_ += "\"sampler\":" + Num(static_cast<std::uint64_t>(textures[i].sampler)) + ",";
      json_ += "\"source\":" + Num(static_cast<std::uint64_t>(textures[i].image)) + "}";
    }
    json_ += ']';
  }

  const auto& skins = scene_.Skins();
  if (!skins.empty()) {
    std::uint64_t ibm = meshAccessors_;
    json_ += ",\"skins\":[";
    for (std::size_t i = 0; i < skins.size(); ++i) {
      Spill();
      const Skin& s = skins[i];
      if (i) json_ += ',';
      json_ += '{';
      if (!s.name.empty()) {
        json_ += "\"name\":";
        AppendString(json_, s.name);
        json_ += ',';
      }
      if (skins_[i].length != 0) json_ += "\"inverseBindMatrices\":" + Num(ibm++) + ",";
      if (s.skeleton >= 0) json_ += "\"skeleton\":" + Num(static_cast<std::uint64_t>(s.skeleton)) + ",";
      json_ += "\"joints\":[";
      for (std::size_t k = 0; k < s.joints.size(); ++k) {
        if (k) json_ += ',';
        json_ += Num(static_cast<std::uint64_t>(s.joints[k]));
      }
      json_ += "]}";
    }
    json_ += ']';
  }
  const auto& animations = scene_.Animations();
  if (!animations.empty()) {
    std::uint64_t accessor = meshAccessors_;
    for (const Piece& p : skins_)
      if (p.length != 0) ++accessor;
    json_ += ",\"animations\":[";
    for (std::size_t a = 0; a < animations.size(); ++a) {
      const Animation& anim = animations[a];
      if (a) json_ += ',';
      json_ += '{';
      if (!anim.name.empty()) {
        json_ += "\"name\":";
        AppendString(json_, anim.name);
        json_ += ',';
      }
      json_ += "\"channels\":[";
      for (std::size_t c = 0; c < anim.channels.size(); ++c) {
        Spill();
        if (c) json_ += ',';
        json_ += "{\"sampler\":" + Num(static_cast<std::uint64_t>(anim.channels[c].sampler)) +
                 ",\"target\":{\"node\":" + Num(static_cast<std::uint64_t>(anim.channels[c].node)) + ",\"path\":\"" +
                 PathName(anim.channels[c].path) + "\"}}";
      }
      json_ += "],\"samplers\":[";
      for (std::size_t s = 0; s < anim.samplers.size(); ++s) {
        Spill();
        if (s) json_ += ',';
        json_ += "{\"input\":" + Num(accessor) + ",\"interpolation\":\"" +
                 (anim.samplers[s].interpolation == Interpolation::kStep ? "STEP" : "LINEAR") +
                 "\",\"output\":" + Num(accessor + 1) + "}";
        accessor += 2;
      }
      json_ += "]}";
    }
    json_ += ']';
  }
  json_ += '}';
  Spill(0);
  sink_ = nullptr;
  return true;
}

// The arrays of one mesh, in the file's order, checked against its shape.
bool WriteMesh(const MeshLayout& L, const MeshData& d, std::vector<std::uint8_t>& bytes, std::string& why) {
  MeshShape s;
  if (!ShapeOf(d, s, why)) return false;
  if (s.vertexCount != L.shape.vertexCount || s.indexCount != L.shape.indexCount || s.normals != L.shape.normals ||
      s.texcoords != L.shape.texcoords || s.skinned != L.shape.skinned) {
    why = "its arrays differ from the shape it was planned with";
    return false;
  }
  const std::size_t n = static_cast<std::size_t>(s.vertexCount);
  bytes.resize(static_cast<std::size_t>(L.indexOffset - L.vertexOffset + L.indexBytes()));
  std::uint8_t* out = bytes.data();
  for (std::size_t v = 0; v < n; ++v) {
    std::memcpy(out, &d.positions[v * 3], 12);
    out += 12;
    if (s.normals) {
      std::memcpy(out, &d.normals[v * 3], 12);
      out += 12;
    }
    if (s.texcoords) {
      std::memcpy(out, &d.texcoords[v * 2], 8);
      out += 8;
    }
  }
  if (s.skinned)
    for (std::size_t v = 0; v < n; ++v) {
      std::memcpy(out, &d.joints[v * 4], 8);
      std::memcpy(out + 8, &d.weights[v * 4], 16);
      out += 24;
    }
  if (L.shortIndices()) {
    for (std::uint32_t i : d.indices) {
      const std::uint16_t v = static_cast<std::uint16_t>(i);
      std::memcpy(out, &v, 2);
      out += 2;
    }
  } else if (!d.indices.empty()) {
    std::memcpy(out, d.indices.data(), d.indices.size() * 4);
  }
  return true;
}

bool Writer::Write(ByteSink& sink, Counts& counts) {
  const std::uint64_t jsonLength = Pad4(jsonBytes_);
  const std::uint64_t total = 12 + 8 + jsonLength + (bin_ != 0 ? 8 + bin_ : 0);
  if (total > kGlbLimit)
    return Fail("the scene needs " + Num(total) + " bytes, more than one binary glTF file holds");
  sink_ = &sink;
  const std::uint32_t header[5] = {kGlbMagic, kGlbVersion, static_cast<std::uint32_t>(total),
                                   static_cast<std::uint32_t>(jsonLength), kJsonChunk};
  Emit(header, sizeof header);
  const std::uint64_t counted = jsonBytes_;
  MakeJson(&sink);
  sink_ = &sink;
  if (jsonBytes_ != counted) return Fail("the scene changed while it was written");
  EmitPad(' ');
  json_ = std::string{};
  if (bin_ != 0) {
    const std::uint32_t chunk[2] = {static_cast<std::uint32_t>(bin_), kBinChunk};
    Emit(chunk, sizeof chunk);
    MeshData data;
    std::vector<std::uint8_t> bytes;
    for (std::size_t m = 0; m < meshes_.size(); ++m) {
      std::string why;
      data = MeshData{};
      if (!scene_.LoadMesh(m, data, why) || !WriteMesh(meshes_[m], data, bytes, why))
        return Fail("mesh " + Num(m) + ": " + why);
      if (!Emit(bytes.data(), bytes.size()) || !EmitPad('\0')) break;
    }
    data = MeshData{};
    bytes = std::vector<std::uint8_t>{};
    if (spill_ == nullptr) {
      for (const std::vector<std::uint8_t>& png : held_) {
        Emit(png.data(), png.size());
        EmitPad('\0');
      }
    } else if (!images_.empty()) {
      std::rewind(spill_);
      std::vector<std::uint8_t> buffer(std::size_t{1} << 16);
      for (const Piece& p : images_) {
        std::uint64_t left = p.length;
        while (left > 0) {
          const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
          if (std::fread(buffer.data(), 1, n, spill_) != n) return Fail("the pictures' temporary file was cut short");
          Emit(buffer.data(), n);
          left -= n;
        }
        EmitPad('\0');
      }
    }
    for (const Skin& s : scene_.Skins()) {
      Emit(s.inverseBindMatrices.data(), s.inverseBindMatrices.size() * 4);
      EmitPad('\0');
    }
    for (const Animation& a : scene_.Animations())
      for (const AnimationSampler& s : a.samplers) {
        Emit(s.times.data(), s.times.size() * 4);
        EmitPad('\0');
        Emit(s.values.data(), s.values.size() * 4);
        EmitPad('\0');
      }
  }
  if (!sinkOk_) return Fail("the output could not take the bytes");
  if (written_ != total) return Fail("wrote " + Num(written_) + " bytes where " + Num(total) + " were planned");
  counts = Counts{};
  counts.nodes = static_cast<std::int64_t>(nodeMesh_.size());
  counts.meshes = static_cast<std::int64_t>(meshes_.size());
  counts.images = static_cast<std::int64_t>(images_.size());
  for (std::int64_t m : nodeMesh_)
    if (m >= 0) counts.triangles += static_cast<std::int64_t>(meshes_[static_cast<std::size_t>(m)].shape.indexCount / 3);
  counts.bytes = total;
  return true;
}

class VectorSink : public ByteSink {
 public:
  explicit VectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
  bool Write(const void* data, std::size_t size) override {
    const auto* b = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), b, b + size);
    return true;
  }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out;
  AppendString(out, text);
  return out;
}

std::string JsonNumber(float value) {
  std::string out;
  AppendFloat(out, value);
  return out;
}

bool ShapeOf(const MeshData& d, MeshShape& shape, std::string& error) {
  shape = MeshShape{};
  if (d.positions.size() % 3 != 0) {
    error = "positions come in threes";
    return false;
  }
  const std::size_t n = d.positions.size() / 3;
  shape.vertexCount = n;
  shape.indexCount = d.indices.size();
  shape.normals = !d.normals.empty();
  shape.texcoords = !d.texcoords.empty();
  shape.skinned = !d.joints.empty() || !d.weights.empty();
  if ((shape.normals && d.normals.size() != n * 3) || (shape.texcoords && d.texcoords.size() != n * 2) ||
      (shape.skinned && (d.joints.size() != n * 4 || d.weights.size() != n * 4))) {
    error = "an attribute's array does not match the " + Num(n) + " vertices";
    return false;
  }
  if (d.indices.size() % 3 != 0) {
    error = "indices come in threes (triangles)";
    return false;
  }
  for (std::uint32_t i : d.indices)
    if (i >= n) {
      error = "index " + Num(i) + " is beyond the " + Num(n) + " vertices";
      return false;
    }
  for (int a = 0; a < 3; ++a) {
    shape.min[a] = n != 0 ? std::numeric_limits<float>::max() : 0.0f;
    shape.max[a] = n != 0 ? std::numeric_limits<float>::lowest() : 0.0f;
  }
  for (std::size_t v = 0; v < n; ++v)
    for (int a = 0; a < 3; ++a) {
      const float x = d.positions[v * 3 + static_cast<std::size_t>(a)];
      if (!std::isfinite(x)) {
        error = "a position is not a finite number";
        return false;
      }
      shape.min[a] = std::min(shape.min[a], x);
      shape.max[a] = std::max(shape.max[a], x);
    }
  return true;
}

void Scene::GetMesh(std::size_t index, Mesh& mesh, MeshShape& shape) const {
  const Mesh& m = meshes[index];
  mesh.name = m.name;
  mesh.material = m.material;
  mesh.data = MeshData{};
  std::string ignored;
  // A mesh whose arrays disagree fails when it is loaded.
  if (!ShapeOf(m.data, shape, ignored)) shape.indexCount = 0;
}

bool Scene::LoadMesh(std::size_t index, MeshData& data, std::string& error) const {
  const Mesh& m = meshes[index];
  MeshShape shape;
  if (!ShapeOf(m.data, shape, error)) return false;
  data = m.data;
  return true;
}

bool Scene::LoadImage(std::size_t index, Image& image, std::string&) const {
  image = images[index];
  return true;
}

bool WriteGlb(const SceneSource& scene, ByteSink& sink, Counts& counts, std::string& error) {
  error.clear();
  counts = Counts{};
  Writer writer(scene, error);
  return writer.Plan() && writer.Write(sink, counts);
}

bool WriteGlb(const SceneSource& scene, std::vector<std::uint8_t>& out, std::string& error) {
  out.clear();
  VectorSink sink(out);
  Counts counts;
  if (WriteGlb(scene, sink, counts, error)) return true;
  out.clear();
  return false;
}

}  // namespace tarn::gltf
