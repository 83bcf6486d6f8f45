// The loaded world as a glTF scene (see WorldExport.h).
#include "export/WorldExport.h"

#include <ddraw.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "engine/log/TarnLog.h"
#include "engine/picture/Image.h"
#include "engine/scene/Camera.h"
#include "engine/scene/RenderSwitches.h"
#include "engine/scene/SceneNode.h"
#include "engine/world/WorldMap.h"
#include "export/WorldPictures.h"
#include "gltf/GlbFile.h"
#include "gltf/Png.h"
#include "platform/codepage/Cp949.h"

namespace tarn::exporter {
namespace {

using gltf::AlphaMode;

// ---- geometry -----------------------------------------------------------

struct Corner {
  float v[8];  // position, normal, texture coordinate, in the file's axes
  bool operator==(const Corner& o) const { return std::memcmp(v, o.v, sizeof v) == 0; }
};

struct CornerHash {
  std::size_t operator()(const Corner& c) const {
    std::uint64_t h = 1469598103934665603ull;
    const auto* b = reinterpret_cast<const unsigned char*>(c.v);
    for (std::size_t i = 0; i < sizeof c.v; ++i) h = (h ^ b[i]) * 1099511628211ull;
    return static_cast<std::size_t>(h);
  }
};

bool Finite(const MeshVertex& m) {
  const float f[8] = {m.x, m.y, m.z, m.nx, m.ny, m.nz, m.tu, m.tv};
  for (float x : f)
    if (!std::isfinite(x)) return false;
  return true;
}

Corner Mirrored(const MeshVertex& m) {
  float nx = m.nx, ny = m.ny, nz = m.nz;
  const double len2 = static_cast<double>(nx) * nx + static_cast<double>(ny) * ny + static_cast<double>(nz) * nz;
  if (!(len2 > 1e-20)) {
    nx = 0.0f;
    ny = 1.0f;
    nz = 0.0f;
  } else if (std::fabs(len2 - 1.0) > 1e-5) {
    const double s = 1.0 / std::sqrt(len2);
    nx = static_cast<float>(nx * s);
    ny = static_cast<float>(ny * s);
    nz = static_cast<float>(nz * s);
  }
  // +0.0f turns -0.0 into 0.0, so mirrored zeros still meet as one corner.
  return Corner{{m.x, m.y, -m.z + 0.0f, nx, ny, -nz + 0.0f, m.tu, m.tv}};
}

// One mesh's vertex and index lists: built twice, once to size the file and
// once to write it, so that only one mesh's table is held at a time.
struct MeshBuild {
  std::vector<Corner> corners;
  std::vector<std::uint32_t> indices;
  float min[3], max[3];

  void Build(const DrawRecord& r) {
    corners.clear();
    indices.clear();
    std::unordered_map<Corner, std::uint32_t, CornerHash> seen;
    const std::int64_t triangles = r.vertexCount / 3;
    indices.reserve(static_cast<std::size_t>(triangles) * 3);
    for (std::int64_t t = 0; t < triangles; ++t) {
      // Reversed winding: the mirror turns clockwise fronts anticlockwise.
      const int order[3] = {0, 2, 1};
      for (int k : order) {
        const Corner c = Mirrored(r.vertices[t * 3 + k]);
        auto [it, fresh] = seen.try_emplace(c, static_cast<std::uint32_t>(corners.size()));
        if (fresh) corners.push_back(c);
        indices.push_back(it->second);
      }
    }
    for (int a = 0; a < 3; ++a) {
      min[a] = std::numeric_limits<float>::max();
      max[a] = std::numeric_limits<float>::lowest();
    }
    for (const Corner& c : corners)
      for (int a = 0; a < 3; ++a) {
        min[a] = std::min(min[a], c.v[a]);
        max[a] = std::max(max[a], c.v[a]);
      }
  }
  // 16-bit indices while no index reaches 65535 (the restart value).
  bool Short() const { return corners.size() < 65535; }
};

// ---- textures -----------------------------------------------------------

struct Rgba {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint8_t> bytes;  // width * height * 4
};

unsigned Widen(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 255;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  int bits = 0;
  while (shift + bits < 32 && ((mask >> (shift + bits)) & 1) != 0) ++bits;
  std::uint32_t v = (pixel & mask) >> shift;
  if (bits >= 8) return v >> (bits - 8);
  // Repeat the top bits, so the largest value stays 255.
  unsigned out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | v;
    filled += bits;
  }
  return out >> (filled - 8);
}

// The texture as the device holds it, read back through a lock.
bool ReadSurface(IDirectDrawSurface7* surface, Rgba& out) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof desc;
  if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return false;
  const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
  const unsigned depth = f.dwRGBBitCount;
  bool ok = desc.lpSurface != nullptr && (depth == 16 || depth == 32) && desc.dwWidth > 0 && desc.dwHeight > 0 &&
            desc.dwWidth <= 16384 && desc.dwHeight <= 16384 &&
            desc.lPitch >= static_cast<LONG>(desc.dwWidth * (depth / 8));
  if (ok) {
    out.width = static_cast<std::int32_t>(desc.dwWidth);
    out.height = static_cast<std::int32_t>(desc.dwHeight);
    out.bytes.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 4, 0);
    const std::uint32_t alphaMask = (f.dwFlags & DDPF_ALPHAPIXELS) != 0 ? f.dwRGBAlphaBitMask : 0;
    const auto* bits = static_cast<const std::uint8_t*>(desc.lpSurface);
    for (std::int32_t y = 0; y < out.height; ++y) {
      const std::uint8_t* row = bits + static_cast<std::size_t>(y) * static_cast<std::size_t>(desc.lPitch);
      for (std::int32_t x = 0; x < out.width; ++x) {
        std::uint32_t p = 0;
        if (depth == 16) {
          std::uint16_t v;
          std::memcpy(&v, row + x * 2, 2);
          p = v;
        } else {
          std::memcpy(&p, row + x * 4, 4);
        }
        std::uint8_t* o = &out.bytes[(static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + x) * 4];
        o[0] = static_cast<std::uint8_t>(Widen(p, f.dwRBitMask));
        o[1] = static_cast<std::uint8_t>(Widen(p, f.dwGBitMask));
        o[2] = static_cast<std::uint8_t>(Widen(p, f.dwBBitMask));
        o[3] = static_cast<std::uint8_t>(Widen(p, alphaMask));
      }
    }
  }
  surface->Unlock(nullptr);
  return ok;
}

AlphaMode ModeOf(const Rgba& picture, unsigned reference) {
  bool below = false, between = false;
  for (std::size_t i = 3; i < picture.bytes.size(); i += 4) {
    const unsigned a = picture.bytes[i];
    if (a == 255) continue;
    if (a < reference)
      below = true;
    else
      between = true;
  }
  if (between) return AlphaMode::kBlend;
  return below ? AlphaMode::kMask : AlphaMode::kOpaque;
}

// ---- device states ------------------------------------------------------

struct DeviceStates {
  unsigned alphaReference = 8;
  bool alphaTest = true, alphaBlend = true;
  int wrapS = 10497, wrapT = 10497;        // REPEAT
  int magFilter = 9729, minFilter = 9729;  // LINEAR
};

int WrapOf(DWORD address) {
  switch (address) {
    case D3DTADDRESS_MIRROR:
      return 33648;  // MIRRORED_REPEAT
    case D3DTADDRESS_CLAMP:
      return 33071;  // CLAMP_TO_EDGE
    default:
      return 10497;  // REPEAT (also border: glTF has none)
  }
}

DeviceStates ReadStates(IDirect3DDevice7* device) {
  DeviceStates s;
  if (device == nullptr) return s;
  DWORD v = 0;
  if (device->GetRenderState(D3DRENDERSTATE_ALPHAREF, &v) == D3D_OK) s.alphaReference = v & 0xFF;
  if (device->GetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, &v) == D3D_OK) s.alphaTest = v != 0;
  if (device->GetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, &v) == D3D_OK) s.alphaBlend = v != 0;
  if (device->GetTextureStageState(0, D3DTSS_ADDRESSU, &v) == D3D_OK) s.wrapS = WrapOf(v);
  if (device->GetTextureStageState(0, D3DTSS_ADDRESSV, &v) == D3D_OK) s.wrapT = WrapOf(v);
  DWORD mag = D3DTFG_LINEAR, min = D3DTFN_LINEAR;
  device->GetTextureStageState(0, D3DTSS_MAGFILTER, &mag);
  device->GetTextureStageState(0, D3DTSS_MINFILTER, &min);
  s.magFilter = mag == D3DTFG_POINT ? 9728 : 9729;
  // The textures carry no mip levels, so the mip filter has nothing to choose.
  s.minFilter = min == D3DTFN_POINT ? 9728 : 9729;
  return s;
}

// Each record's line of origin, looked up once per node: a search of the
// lists per node would grow with the square of the objects.
std::unordered_map<const DrawRecord*, const std::string*> Origins(const LoadedWorld* world) {
  std::unordered_map<const DrawRecord*, const std::string*> where;
  if (world == nullptr) return where;
  for (const auto* list : {&world->houses, &world->models, &world->terrainLines})
    for (const LoadedWorld::Placed& p : *list)
      if (p.mesh != nullptr) where.emplace(&p.mesh->drawRecord, &p.where);
  return where;
}

// Row vectors in the engine, column vectors in glTF: the row-major array of
// the engine's matrix is glTF's column-major array. Mirroring z on both sides
// negates the entries with exactly one index 2.
void MirroredMatrix(const Matrix4& m, float out[16]) {
  for (int i = 0; i < 16; ++i) {
    const int r = i / 4, c = i % 4;
    const float v = m.m[i];
    out[i] = ((r == 2) != (c == 2) ? -v : v) + 0.0f;
  }
}

bool IsIdentity(const Matrix4& m) {
  for (int i = 0; i < 16; ++i)
    if (m.m[i] != ((i % 5 == 0) ? 1.0f : 0.0f)) return false;
  return true;
}

bool FiniteMatrix(const Matrix4& m) {
  for (float v : m.m)
    if (!std::isfinite(v)) return false;
  return true;
}

// The rotation taking glTF's camera (looking down -z, y up) to the engine's
// start view, mirrored; false for a view that names no direction.
bool CameraRotation(const Camera& camera, float q[4]) {
  Vector3 f = camera.lookAt - camera.position;
  Vector3 u = camera.up;
  f.z = -f.z;
  u.z = -u.z;
  const double fl = Length(f), ul = Length(u);
  if (!(fl > 1e-12) || !(ul > 1e-12) || !std::isfinite(fl) || !std::isfinite(ul)) return false;
  const Vector3 z = Normalize(f) * -1.0f;
  Vector3 x = Cross(u, z);
  const double xl = Length(x);
  if (!(xl > 1e-12)) return false;
  x = Normalize(x);
  const Vector3 y = Cross(z, x);
  // Columns x, y, z; the usual matrix-to-quaternion on the largest term.
  const double m00 = x.x, m01 = y.x, m02 = z.x, m10 = x.y, m11 = y.y, m12 = z.y, m20 = x.z, m21 = y.z, m22 = z.z;
  const double trace = m00 + m11 + m22;
  double qx, qy, qz, qw;
  if (trace > 0) {
    const double s = std::sqrt(trace + 1.0) * 2;
    qw = 0.25 * s;
    qx = (m21 - m12) / s;
    qy = (m02 - m20) / s;
    qz = (m10 - m01) / s;
  } else if (m00 > m11 && m00 > m22) {
    const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2;
    qw = (m21 - m12) / s;
    qx = 0.25 * s;
    qy = (m01 + m10) / s;
    qz = (m02 + m20) / s;
  } else if (m11 > m22) {
    const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2;
    qw = (m02 - m20) / s;
    qx = (m01 + m10) / s;
    qy = 0.25 * s;
    qz = (m12 + m21) / s;
  } else {
    const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2;
    qw = (m10 - m01) / s;
    qx = (m02 + m20) / s;
    qy = (m12 + m21) / s;
    qz = 0.25 * s;
  }
  const double n = std::sqrt(qx * qx + qy * qy + qz * qz + qw * qw);
  q[0] = static_cast<float>(qx / n);
  q[1] = static_cast<float>(qy / n);
  q[2] = static_cast<float>(qz / n);
  q[3] = static_cast<float>(qw / n);
  return std::isfinite(q[0]) && std::isfinite(q[1]) && std::isfinite(q[2]) && std::isfinite(q[3]);
}

void LogLine(const std::string& text) { AppendTarnLogError(("glTF export: " + text).c_str()); }

// UTF-8 for the file: the system's text is code page 949.
std::string Utf8(const std::string& cp949) { return codepage::Cp949ToUtf8(cp949); }

struct MeshPlan {
  const DrawRecord* record = nullptr;
  gltf::MeshShape shape;
  std::int64_t material = -1;
};

struct ImagePlan {
  std::int32_t table = 0;  // the texture table's entry
  AlphaMode mode = AlphaMode::kOpaque;
};

constexpr const char* kAxes =
    "{\"axes\":\"The engine is left-handed with y up; this file mirrors z (z = -engine z for positions, normals, "
    "transforms and the camera) and reverses each triangle's winding. x and y, and the texture coordinates, are as "
    "the engine has them.\"}";

// The world as the writer asks for it: the plan is made once (each mesh
// built to size it, each texture's texels read for its alpha mode); nodes
// are made from it as they are asked for, and each mesh is built again and
// each picture read when the writer wants its bytes.
class WorldScene : public gltf::SceneSource {
 public:
  explicit WorldScene(const WorldSource& source) : source_(source), states_(ReadStates(source.device)) { Plan(); }

  const gltf::Asset& AssetInfo() const override { return asset_; }
  std::size_t NodeCount() const override { return nodes_.size() + (cameraOk_ ? 1 : 0); }
  void GetNode(std::size_t index, gltf::Node& node) const override;
  std::size_t MeshCount() const override { return meshes_.size(); }
  void GetMesh(std::size_t index, gltf::Mesh& mesh, gltf::MeshShape& shape) const override {
    mesh = gltf::Mesh{};
    mesh.material = meshes_[index].material;
    shape = meshes_[index].shape;
  }
  bool LoadMesh(std::size_t index, gltf::MeshData& data, std::string& error) const override;
  std::size_t ImageCount() const override { return images_.size(); }
  bool LoadImage(std::size_t index, gltf::Image& image, std::string& error) const override;
  const std::vector<gltf::Material>& Materials() const override { return materials_; }
  const std::vector<gltf::Sampler>& Samplers() const override { return samplers_; }
  const std::vector<gltf::Texture>& Textures() const override { return textures_; }
  const std::vector<gltf::PerspectiveCamera>& Cameras() const override { return cameras_; }
  const std::vector<gltf::Skin>& Skins() const override { return none_.skins; }
  const std::vector<gltf::Animation>& Animations() const override { return none_.animations; }

 private:
  void Plan();
  std::int64_t MaterialFor(const DrawRecord& r, std::size_t object);
  void PlanCamera();
  bool ReadPictureFile(std::int32_t t, Rgba& out, std::string& why) const;

  const WorldSource& source_;
  const DeviceStates states_;
  gltf::Asset asset_;
  std::vector<const SceneNode*> nodes_;  // the root's children, in drawing order
  std::vector<std::int64_t> nodeMesh_;   // per node: its mesh, or -1
  std::vector<char> nodeMatrixOk_;       // per node: its transform is finite
  std::vector<MeshPlan> meshes_;
  std::vector<ImagePlan> images_;
  std::unordered_map<const DrawRecord*, std::int64_t> meshOf_;
  std::unordered_map<const DrawRecord*, const std::string*> origins_;
  std::int32_t tableSize_ = 0;
  std::vector<std::int64_t> materialOfTexture_;  // per table entry: -2 unseen, -1 plain, or the material
  bool plainUsed_ = false;
  bool cameraOk_ = false;
  float cameraRotation_[4] = {0, 0, 0, 1};
  std::vector<gltf::Material> materials_;
  std::vector<gltf::Sampler> samplers_;
  std::vector<gltf::Texture> textures_;
  std::vector<gltf::PerspectiveCamera> cameras_;
  gltf::Scene none_;
  mutable MeshBuild build_;
};

// The picture a texture entry was made from, read again through the engine's
// own reader (the same colour and alpha rules as at load) and checked
// against what the loader read; false with the reason in `why`.
bool WorldScene::ReadPictureFile(std::int32_t t, Rgba& out, std::string& why) const {
  const WorldPictures::Entry* source = source_.pictures != nullptr ? source_.pictures->Find(t) : nullptr;
  if (source == nullptr) {
    why = "no picture file is known for it";
    return false;
  }
  Image image;
  if (image.LoadPicture(source->file.c_str()) == 0 || image.pixels.empty()) {
    why = source->file + " cannot be read again";
    return false;
  }
  if (PictureHash(image) != source->hash) {
    why = source->file + " has changed since the world loaded";
    return false;
  }
  out.width = image.width;
  out.height = image.height;
  out.bytes.resize(image.pixels.size() * 4);
  std::uint8_t* o = out.bytes.data();
  for (std::uint32_t p : image.pixels) {
    o[0] = static_cast<std::uint8_t>(p >> 16);
    o[1] = static_cast<std::uint8_t>(p >> 8);
    o[2] = static_cast<std::uint8_t>(p);
    o[3] = static_cast<std::uint8_t>(p >> 24);
    o += 4;
  }
  return true;
}

std::int64_t WorldScene::MaterialFor(const DrawRecord& r, std::size_t object) {
  const std::int32_t t = r.materialIndex;
  IDirectDrawSurface7* surface =
      (source_.switches != nullptr && source_.switches->textures != nullptr && t >= 0 && t < tableSize_)
          ? source_.switches->textures[t]
          : nullptr;
  if (surface == nullptr) {
    if (t >= 0 && t < tableSize_ && materialOfTexture_[static_cast<std::size_t>(t)] == -2) {
      LogLine("object " + std::to_string(object) + ": texture " + std::to_string(t) +
              " has no picture; a plain material stands for it");
      materialOfTexture_[static_cast<std::size_t>(t)] = -1;
    }
    plainUsed_ = true;
    return -1;
  }
  std::int64_t& m = materialOfTexture_[static_cast<std::size_t>(t)];
  if (m == -2) {
    m = -1;
    Rgba texels;
    if (!ReadSurface(surface, texels)) {
      LogLine("texture " + std::to_string(t) + ": its surface cannot be read; a plain material stands for it");
    } else {
      ImagePlan plan;
      plan.table = t;
      // The mode comes from the alpha the device tests and blends with.
      plan.mode = ModeOf(texels, states_.alphaTest ? states_.alphaReference : 0);
      if (!states_.alphaBlend && plan.mode == AlphaMode::kBlend) plan.mode = AlphaMode::kMask;
      if (!states_.alphaTest && plan.mode == AlphaMode::kMask) plan.mode = AlphaMode::kBlend;
      if (!states_.alphaTest && !states_.alphaBlend) plan.mode = AlphaMode::kOpaque;
      m = static_cast<std::int64_t>(images_.size());
      images_.push_back(plan);
    }
  }
  if (m < 0) plainUsed_ = true;
  return m;
}

void WorldScene::Plan() {
  asset_.generator = Utf8(source_.generator);
  asset_.extras = kAxes;
  asset_.sceneName = "world";
  origins_ = Origins(source_.world);
  for (const SceneNode* c = source_.root != nullptr ? source_.root->firstChild.get() : nullptr; c != nullptr;
       c = c->nextSibling.get())
    nodes_.push_back(c);
  nodeMesh_.assign(nodes_.size(), -1);
  tableSize_ = source_.switches != nullptr ? std::max(source_.switches->textureCount, 0) : 0;
  materialOfTexture_.assign(static_cast<std::size_t>(tableSize_), -2);
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    const DrawRecord* r = nodes_[i]->drawRecord;
    if (r == nullptr || r->vertices == nullptr || r->vertexCount < 3) continue;
    if (auto it = meshOf_.find(r); it != meshOf_.end()) {
      nodeMesh_[i] = it->second;
      continue;
    }
    bool finite = true;
    const std::int64_t used = r->vertexCount / 3 * 3;
    for (std::int64_t v = 0; v < used && finite; ++v) finite = Finite(r->vertices[v]);
    if (!finite) {
      LogLine("object " + std::to_string(i) + " kind " + std::to_string(r->kind) +
              (r->nodeName != nullptr ? " (" + std::string(r->nodeName) + ")" : std::string()) +
              ": a coordinate is not a finite number; its mesh is left out");
      meshOf_.emplace(r, -1);
      continue;
    }
    build_.Build(*r);
    MeshPlan plan;
    plan.record = r;
    plan.shape.vertexCount = build_.corners.size();
    plan.shape.indexCount = build_.indices.size();
    plan.shape.normals = plan.shape.texcoords = true;
    std::memcpy(plan.shape.min, build_.min, sizeof plan.shape.min);
    std::memcpy(plan.shape.max, build_.max, sizeof plan.shape.max);
    plan.material = MaterialFor(*r, i);
    meshOf_.emplace(r, static_cast<std::int64_t>(meshes_.size()));
    nodeMesh_[i] = static_cast<std::int64_t>(meshes_.size());
    meshes_.push_back(plan);
  }
  build_ = MeshBuild{};
  // The plain material comes after the textured ones.
  const std::int64_t plain = static_cast<std::int64_t>(images_.size());
  for (MeshPlan& m : meshes_)
    if (m.material < 0) m.material = plain;

  // The device composes the root's transform after each child's.
  const Matrix4* rootMatrix = source_.root != nullptr ? &source_.root->localMatrix : nullptr;
  nodeMatrixOk_.assign(nodes_.size(), 1);
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    Matrix4 world = nodes_[i]->localMatrix;
    if (rootMatrix != nullptr && !IsIdentity(*rootMatrix)) world = Multiply(nodes_[i]->localMatrix, *rootMatrix);
    if (!FiniteMatrix(world)) {
      nodeMatrixOk_[i] = 0;
      LogLine("object " + std::to_string(i) + ": its transform is not finite; the node is placed without it");
    }
  }

  for (std::size_t i = 0; i < images_.size(); ++i) {
    gltf::Material m;
    m.name = "texture " + std::to_string(images_[i].table);
    m.baseColorTexture = static_cast<std::int64_t>(i);
    m.alphaMode = images_[i].mode;
    m.alphaCutoff = static_cast<float>(states_.alphaReference) / 255.0f;
    materials_.push_back(m);
    textures_.push_back(gltf::Texture{0, static_cast<std::int64_t>(i)});
  }
  if (plainUsed_) {
    gltf::Material m;
    m.name = "plain";
    materials_.push_back(m);
  }
  if (!images_.empty())
    samplers_.push_back(gltf::Sampler{states_.magFilter, states_.minFilter, states_.wrapS, states_.wrapT});
  PlanCamera();
}

void WorldScene::PlanCamera() {
  const Camera* camera = source_.camera;
  if (camera == nullptr) return;
  const Vector3 p = camera->position;
  cameraOk_ = std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) &&
              CameraRotation(*camera, cameraRotation_) && std::isfinite(camera->fieldOfView) &&
              camera->fieldOfView > 0.0f && std::isfinite(camera->nearPlane) && camera->nearPlane > 0.0f &&
              std::isfinite(camera->farPlane) && camera->farPlane > camera->nearPlane;
  if (!cameraOk_) {
    LogLine("the start camera has no usable position or direction; it is left out");
    return;
  }
  const double w = source_.screenWidth > 0 ? source_.screenWidth : 800;
  const double h = source_.screenHeight > 0 ? source_.screenHeight : 600;
  gltf::PerspectiveCamera c;
  c.name = "start camera";
  c.yfov = camera->fieldOfView;
  c.aspectRatio = static_cast<float>(w / h);
  c.znear = camera->nearPlane;
  c.zfar = camera->farPlane;
  cameras_.push_back(c);
}

void WorldScene::GetNode(std::size_t i, gltf::Node& node) const {
  node = gltf::Node{};
  if (i == nodes_.size()) {
    const Vector3 p = source_.camera->position;
    node.name = "start camera";
    node.camera = 0;
    node.hasTranslation = node.hasRotation = true;
    node.translation[0] = p.x;
    node.translation[1] = p.y;
    node.translation[2] = -p.z + 0.0f;
    std::memcpy(node.rotation, cameraRotation_, sizeof node.rotation);
    return;
  }
  const SceneNode* n = nodes_[i];
  const DrawRecord* r = n->drawRecord;
  const int kind = r != nullptr ? r->kind : 0;
  node.name = "object " + std::to_string(i) + " kind " + std::to_string(kind);
  node.mesh = nodeMesh_[i];
  const Matrix4* rootMatrix = source_.root != nullptr ? &source_.root->localMatrix : nullptr;
  Matrix4 world = n->localMatrix;
  if (rootMatrix != nullptr && !IsIdentity(*rootMatrix)) world = Multiply(n->localMatrix, *rootMatrix);
  if (nodeMatrixOk_[i] && !IsIdentity(world)) {
    node.hasMatrix = true;
    MirroredMatrix(world, node.matrix);
  }
  std::string& e = node.extras;
  e = "{\"kind\":" + std::to_string(kind);
  if (r != nullptr) {
    e += ",\"vertices\":" + std::to_string(r->vertexCount) + ",\"material\":" + std::to_string(r->materialIndex);
    if (r->nodeName != nullptr && r->nodeName[0] != '\0') e += ",\"nodeName\":" + gltf::JsonString(Utf8(r->nodeName));
    if (auto it = origins_.find(r); it != origins_.end() && !it->second->empty())
      e += ",\"source\":" + gltf::JsonString(Utf8(*it->second));
  }
  e += '}';
}

bool WorldScene::LoadMesh(std::size_t index, gltf::MeshData& data, std::string& error) const {
  build_.Build(*meshes_[index].record);
  const std::size_t n = build_.corners.size();
  data.positions.resize(n * 3);
  data.normals.resize(n * 3);
  data.texcoords.resize(n * 2);
  for (std::size_t v = 0; v < n; ++v) {
    const float* c = build_.corners[v].v;
    std::memcpy(&data.positions[v * 3], c, 12);
    std::memcpy(&data.normals[v * 3], c + 3, 12);
    std::memcpy(&data.texcoords[v * 2], c + 6, 8);
  }
  data.indices = std::move(build_.indices);
  build_ = MeshBuild{};
  if (n != meshes_[index].shape.vertexCount) {
    error = "the world changed while it was written";
    return false;
  }
  return true;
}

// Each picture is read here once: the file at full colour while it reads as
// it did at load, else the device's copy.
bool WorldScene::LoadImage(std::size_t index, gltf::Image& image, std::string& error) const {
  const std::int32_t t = images_[index].table;
  image.name = "texture " + std::to_string(t);
  Rgba picture;
  std::string why;
  const bool fromFile = ReadPictureFile(t, picture, why);
  if (!fromFile) {
    LogLine("texture " + std::to_string(t) + ": " + why + "; the device's 16-bit copy stands for it");
    if (!ReadSurface(source_.switches->textures[t], picture)) {
      error = "texture " + std::to_string(t) + ": its surface cannot be read";
      return false;
    }
  }
  if (!gltf::EncodePng(picture.bytes.data(), picture.width, picture.height, image.png)) {
    error = "texture " + std::to_string(t) + ": cannot be made a PNG";
    return false;
  }
  image.extras = "{\"file\":" + (fromFile ? gltf::JsonString(Utf8(source_.pictures->Find(t)->file)) : "null") + "}";
  return true;
}

}  // namespace

bool ExportWorld(const WorldSource& source, const std::string& path, gltf::Counts& counts, std::string& error) {
  const WorldScene scene(source);
  return gltf::WriteGlbFile(scene, path, "one of the world's files", counts, error);
}

bool ExportWorld(const WorldSource& source, std::vector<std::uint8_t>& glb, std::string& error) {
  const WorldScene scene(source);
  return gltf::WriteGlb(scene, glb, error);
}

}  // namespace tarn::exporter
