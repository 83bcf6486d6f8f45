// The binary glTF writer of tarnview-replay (see GltfExport.h).
#include "programs/GltfExport.h"

#include <ddraw.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
#include "platform/codepage/Cp949.h"
#include "platform/files/OutputFile.h"
#include "platform/hosts/headless/PngFile.h"

namespace tarn::programs {
namespace {

constexpr std::uint32_t kGlbMagic = 0x46546C67;   // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kBinChunk = 0x004E4942;   // "BIN\0"
constexpr std::uint64_t kGlbLimit = 0xFFFFFFFFull;

// ---- JSON text ---------------------------------------------------------

void AppendEscaped(std::string& out, const std::string& utf8) {
  out += '"';
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

// UTF-8 as JSON demands it: the system's text through code page 949, then
// any byte that still starts no valid sequence replaced by U+FFFD.
std::string JsonText(const std::string& cp949) {
  const std::string utf8 = codepage::Cp949ToUtf8(cp949);
  std::string out;
  std::string_view rest = utf8;
  while (!rest.empty()) {
    const std::size_t n = codepage::Utf8SequenceLength(rest);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      rest.remove_prefix(1);
    } else {
      out.append(rest.substr(0, n));
      rest.remove_prefix(n);
    }
  }
  return out;
}

// Text that reads back as the same float: nine significant digits hold any.
void AppendFloat(std::string& out, float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
  out += buf;
}

void AppendInt(std::string& out, std::uint64_t v) { out += std::to_string(v); }

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

struct MeshPlan {
  const DrawRecord* record = nullptr;
  std::uint64_t vertexCount = 0, indexCount = 0;
  bool shortIndices = true;
  std::uint64_t vertexOffset = 0, indexOffset = 0;  // in the BIN chunk
  std::int64_t material = -1;
  float min[3] = {0, 0, 0}, max[3] = {0, 0, 0};  // of the positions
};

std::uint64_t Pad4(std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; }

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

enum class AlphaMode { kOpaque, kMask, kBlend };

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

// The picture a texture entry was made from, read again through the engine's
// own reader (the same colour and alpha rules as at load) and checked
// against what the loader read; false with the reason in `why`.
bool ReadPictureFile(const RenderSwitches* switches, std::int32_t t, Rgba& out, std::string& why) {
  if (switches == nullptr || t < 0 || static_cast<std::size_t>(t) >= switches->pictureSources.size() ||
      switches->pictureSources[static_cast<std::size_t>(t)].file.empty()) {
    why = "no picture file is known for it";
    return false;
  }
  const RenderSwitches::PictureSource& source = switches->pictureSources[static_cast<std::size_t>(t)];
  Image image;
  if (image.LoadPicture(source.file.c_str()) == 0 || image.pixels.empty()) {
    why = source.file + " cannot be read again";
    return false;
  }
  if (PictureHash(image) != source.hash) {
    why = source.file + " has changed since the world loaded";
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

bool ToPng(const Rgba& picture, std::vector<std::uint8_t>& out) {
  return hosts::EncodePngRgba(picture.bytes.data(), picture.width, picture.height, out);
}

struct ImagePlan {
  std::int32_t table = 0;  // the texture table's entry
  bool fromFile = false;   // the picture file, else the device's copy
  std::uint64_t offset = 0, length = 0;
  AlphaMode mode = AlphaMode::kOpaque;
};

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

// ---- the file -----------------------------------------------------------

bool RefusedDestination(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;  // nothing there yet
  if (!S_ISREG(st.st_mode)) return false;            // OutputFile decides
  // /dev/stdout redirected into a file: the shell has emptied it already, and
  // OutputFile writes such names directly.
  if (path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0) return false;
  unsigned char head[4] = {0, 0, 0, 0};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ssize_t got = -1;
  if (fd >= 0) {
    got = ::read(fd, head, sizeof head);
    ::close(fd);
  }
  std::uint32_t magic = 0;
  std::memcpy(&magic, head, 4);
  if (got == 4 && magic == kGlbMagic) return false;
  error =
      path + ": an existing file that is not a binary glTF file; not written over (it may be one of the world's files)";
  return true;
}

class Writer {
 public:
  explicit Writer(std::FILE* f) : file_(f) {}
  void Bytes(const void* data, std::size_t n) {
    if (n != 0 && std::fwrite(data, 1, n, file_) != n) ok_ = false;
    written_ += n;
  }
  void U32(std::uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    Bytes(b, 4);
  }
  void PadTo4(char fill) {
    static const char zeros[4] = {0, 0, 0, 0};
    static const char spaces[4] = {' ', ' ', ' ', ' '};
    const std::size_t n = static_cast<std::size_t>(Pad4(written_) - written_);
    Bytes(fill == ' ' ? spaces : zeros, n);
  }
  bool Ok() const { return ok_; }
  std::uint64_t Written() const { return written_; }

 private:
  std::FILE* file_;
  bool ok_ = true;
  std::uint64_t written_ = 0;
};

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

void AppendMatrix(std::string& json, const Matrix4& m) {
  // Row vectors in the engine, column vectors in glTF: the row-major array
  // of the engine's matrix is glTF's column-major array. Mirroring z on both
  // sides negates the entries with exactly one index 2.
  json += ",\"matrix\":[";
  for (int i = 0; i < 16; ++i) {
    const int r = i / 4, c = i % 4;
    float v = m.m[i];
    if ((r == 2) != (c == 2)) v = -v;
    if (i) json += ',';
    AppendFloat(json, v + 0.0f);
  }
  json += ']';
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

// The export of one world: pass 1 (Plan) sizes every mesh and picture and
// lays out the buffer, the JSON text follows from the plan, and pass 2
// (Write) builds each mesh and picture again straight into the file.
class GltfFile {
 public:
  explicit GltfFile(const GltfSource& source) : source_(source), states_(ReadStates(source.device)) {}
  void Plan();
  // Makes the JSON text: counted only (its length goes before it in the
  // file), or written as it grows through `out`.
  void MakeJson(Writer* out = nullptr);
  bool Write(const std::string& path, GltfCounts& counts, std::string& error);

 private:
  std::int64_t MaterialFor(const DrawRecord& r, std::size_t object);
  void PlanCamera();
  void AppendNodes();
  void AppendMeshes();
  void AppendMaterials();
  void Spill(std::size_t keep = std::size_t{1} << 16);

  const GltfSource& source_;
  const DeviceStates states_;
  std::vector<const SceneNode*> nodes_;  // the root's children, in drawing order
  std::vector<std::int64_t> nodeMesh_;   // per node: its mesh, or -1
  std::vector<MeshPlan> meshes_;
  std::vector<ImagePlan> images_;
  std::unordered_map<const DrawRecord*, std::int64_t> meshOf_;
  std::int32_t tableSize_ = 0;
  std::vector<std::int64_t> materialOfTexture_;  // per table entry: -2 unseen, -1 plain, or the material
  bool plainUsed_ = false;
  bool cameraOk_ = false;
  float cameraRotation_[4] = {0, 0, 0, 1};
  std::uint64_t bin_ = 0;  // bytes of the BIN chunk
  std::string json_;           // the text not yet counted or written
  std::uint64_t jsonBytes_ = 0;  // counted or written so far
  Writer* jsonOut_ = nullptr;
  std::unordered_map<const DrawRecord*, const std::string*> origins_;
  MeshBuild build_;
  Rgba texels_;   // a texture as the device holds it
  Rgba picture_;  // what the file gets
  std::vector<std::uint8_t> png_;
};

std::int64_t GltfFile::MaterialFor(const DrawRecord& r, std::size_t object) {
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
    ImagePlan plan;
    plan.table = t;
    std::string why;
    if (!ReadSurface(surface, texels_)) {
      LogLine("texture " + std::to_string(t) + ": its surface cannot be read; a plain material stands for it");
    } else {
      // The mode comes from the alpha the device tests and blends with.
      plan.mode = ModeOf(texels_, states_.alphaTest ? states_.alphaReference : 0);
      if (!states_.alphaBlend && plan.mode == AlphaMode::kBlend) plan.mode = AlphaMode::kMask;
      if (!states_.alphaTest && plan.mode == AlphaMode::kMask) plan.mode = AlphaMode::kBlend;
      if (!states_.alphaTest && !states_.alphaBlend) plan.mode = AlphaMode::kOpaque;
      plan.fromFile = ReadPictureFile(source_.switches, t, picture_, why);
      if (!plan.fromFile)
        LogLine("texture " + std::to_string(t) + ": " + why + "; the device's 16-bit copy stands for it");
      if (!ToPng(plan.fromFile ? picture_ : texels_, png_)) {
        LogLine("texture " + std::to_string(t) + ": cannot be made a PNG; a plain material stands for it");
      } else {
        plan.length = png_.size();
        m = static_cast<std::int64_t>(images_.size());
        images_.push_back(plan);
      }
    }
  }
  if (m < 0) plainUsed_ = true;
  return m;
}

void GltfFile::Plan() {
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
    plan.vertexCount = build_.corners.size();
    plan.indexCount = build_.indices.size();
    plan.shortIndices = build_.Short();
    std::memcpy(plan.min, build_.min, sizeof plan.min);
    std::memcpy(plan.max, build_.max, sizeof plan.max);
    plan.material = MaterialFor(*r, i);
    meshOf_.emplace(r, static_cast<std::int64_t>(meshes_.size()));
    nodeMesh_[i] = static_cast<std::int64_t>(meshes_.size());
    meshes_.push_back(plan);
  }
  build_ = MeshBuild{};
  texels_ = Rgba{};
  picture_ = Rgba{};
  png_ = std::vector<std::uint8_t>{};

  for (MeshPlan& m : meshes_) {
    m.vertexOffset = bin_;
    bin_ += m.vertexCount * sizeof(Corner);
    m.indexOffset = bin_;
    bin_ = Pad4(bin_ + m.indexCount * (m.shortIndices ? 2 : 4));
  }
  for (ImagePlan& im : images_) {
    im.offset = bin_;
    bin_ = Pad4(bin_ + im.length);
  }

  PlanCamera();
}

void GltfFile::PlanCamera() {
  const Camera* camera = source_.camera;
  if (camera == nullptr) return;
  const Vector3 p = camera->position;
  cameraOk_ = std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) &&
              CameraRotation(*camera, cameraRotation_) && std::isfinite(camera->fieldOfView) &&
              camera->fieldOfView > 0.0f && std::isfinite(camera->nearPlane) && camera->nearPlane > 0.0f &&
              std::isfinite(camera->farPlane) && camera->farPlane > camera->nearPlane;
  if (!cameraOk_) LogLine("the start camera has no usable position or direction; it is left out");
}

// The text goes out in pieces: with many objects it is megabytes, and the
// export means to hold little beyond the world.
void GltfFile::Spill(std::size_t keep) {
  if (json_.size() < keep) return;
  if (jsonOut_ != nullptr) jsonOut_->Bytes(json_.data(), json_.size());
  jsonBytes_ += json_.size();
  json_.clear();
}

void GltfFile::MakeJson(Writer* out) {
  jsonOut_ = out;
  jsonBytes_ = 0;
  json_.clear();
  json_ += "{\"asset\":{\"version\":\"2.0\",\"generator\":";
  AppendEscaped(json_, JsonText(source_.generator));
  json_ +=
      ",\"extras\":{\"axes\":\"The engine is left-handed with y up; this file mirrors z (z = -engine z for "
      "positions, normals, transforms and the camera) and reverses each triangle's winding. x and y, and the "
      "texture coordinates, are as the engine has them.\"}}";
  json_ += ",\"scene\":0,\"scenes\":[{\"name\":\"world\",\"nodes\":[";
  const std::size_t nodeTotal = nodes_.size() + (cameraOk_ ? 1 : 0);
  for (std::size_t i = 0; i < nodeTotal; ++i) {
    Spill();
    if (i) json_ += ',';
    AppendInt(json_, i);
  }
  json_ += "]}]";
  AppendNodes();
  AppendMeshes();
  AppendMaterials();
  json_ += '}';
  Spill(0);
  jsonOut_ = nullptr;
}

void GltfFile::AppendNodes() {
  json_ += ",\"nodes\":[";
  const Matrix4* rootMatrix = source_.root != nullptr ? &source_.root->localMatrix : nullptr;
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    Spill();
    const SceneNode* n = nodes_[i];
    const DrawRecord* r = n->drawRecord;
    if (i) json_ += ',';
    const int kind = r != nullptr ? r->kind : 0;
    json_ += "{\"name\":\"object " + std::to_string(i) + " kind " + std::to_string(kind) + "\"";
    if (nodeMesh_[i] >= 0) json_ += ",\"mesh\":" + std::to_string(nodeMesh_[i]);
    // The device composes the root's transform after the child's.
    Matrix4 world = n->localMatrix;
    if (rootMatrix != nullptr && !IsIdentity(*rootMatrix)) world = Multiply(n->localMatrix, *rootMatrix);
    if (!FiniteMatrix(world)) {
      if (jsonOut_ == nullptr)  // said once, while counting
        LogLine("object " + std::to_string(i) + ": its transform is not finite; the node is placed without it");
    } else if (!IsIdentity(world)) {
      AppendMatrix(json_, world);
    }
    json_ += ",\"extras\":{\"kind\":" + std::to_string(kind);
    if (r != nullptr) {
      json_ += ",\"vertices\":" + std::to_string(r->vertexCount) + ",\"material\":" + std::to_string(r->materialIndex);
      if (r->nodeName != nullptr && r->nodeName[0] != '\0') {
        json_ += ",\"nodeName\":";
        AppendEscaped(json_, JsonText(r->nodeName));
      }
      if (auto it = origins_.find(r); it != origins_.end() && !it->second->empty()) {
        json_ += ",\"source\":";
        AppendEscaped(json_, JsonText(*it->second));
      }
    }
    json_ += "}}";
  }
  if (cameraOk_) {
    const Vector3 p = source_.camera->position;
    if (!nodes_.empty()) json_ += ',';
    json_ += "{\"name\":\"start camera\",\"camera\":0,\"translation\":[";
    AppendFloat(json_, p.x);
    json_ += ',';
    AppendFloat(json_, p.y);
    json_ += ',';
    AppendFloat(json_, -p.z + 0.0f);
    json_ += "],\"rotation\":[";
    for (int k = 0; k < 4; ++k) {
      if (k) json_ += ',';
      AppendFloat(json_, cameraRotation_[k]);
    }
    json_ += "]}";
  }
  json_ += ']';
  if (cameraOk_) {
    const double w = source_.screenWidth > 0 ? source_.screenWidth : 800;
    const double h = source_.screenHeight > 0 ? source_.screenHeight : 600;
    json_ += ",\"cameras\":[{\"name\":\"start camera\",\"type\":\"perspective\",\"perspective\":{\"yfov\":";
    AppendFloat(json_, source_.camera->fieldOfView);
    json_ += ",\"aspectRatio\":";
    AppendFloat(json_, static_cast<float>(w / h));
    json_ += ",\"znear\":";
    AppendFloat(json_, source_.camera->nearPlane);
    json_ += ",\"zfar\":";
    AppendFloat(json_, source_.camera->farPlane);
    json_ += "}}]";
  }
}

void GltfFile::AppendMeshes() {
  // Meshes: one primitive each, interleaved position / normal / texture
  // coordinate (the device's 32-byte vertex), then its indices.
  const std::int64_t plainMaterial = static_cast<std::int64_t>(images_.size());
  if (!meshes_.empty()) {
    json_ += ",\"meshes\":[";
    for (std::size_t m = 0; m < meshes_.size(); ++m) {
      Spill();
      const std::size_t a = m * 4;
      if (m) json_ += ',';
      json_ += "{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(a) +
               ",\"NORMAL\":" + std::to_string(a + 1) + ",\"TEXCOORD_0\":" + std::to_string(a + 2) +
               "},\"indices\":" + std::to_string(a + 3) +
               ",\"material\":" + std::to_string(meshes_[m].material >= 0 ? meshes_[m].material : plainMaterial) +
               ",\"mode\":4}]}";
    }
    json_ += ']';
  }
  // Accessors and views go straight into the text: with many objects they
  // are most of it.
  if (!meshes_.empty()) {
    json_ += ",\"accessors\":[";
    for (std::size_t m = 0; m < meshes_.size(); ++m) {
      Spill();
      const MeshPlan& p = meshes_[m];
      const std::string view = std::to_string(m * 2);
      const std::string count = std::to_string(p.vertexCount);
      if (m) json_ += ',';
      json_ +=
          "{\"bufferView\":" + view + ",\"componentType\":5126,\"count\":" + count + ",\"type\":\"VEC3\",\"min\":[";
      for (int k = 0; k < 3; ++k) {
        if (k) json_ += ',';
        AppendFloat(json_, p.min[k]);
      }
      json_ += "],\"max\":[";
      for (int k = 0; k < 3; ++k) {
        if (k) json_ += ',';
        AppendFloat(json_, p.max[k]);
      }
      json_ += "]},{\"bufferView\":" + view + ",\"byteOffset\":12,\"componentType\":5126,\"count\":" + count +
               ",\"type\":\"VEC3\"},{\"bufferView\":" + view +
               ",\"byteOffset\":24,\"componentType\":5126,\"count\":" + count +
               ",\"type\":\"VEC2\"},{\"bufferView\":" + std::to_string(m * 2 + 1) +
               ",\"componentType\":" + (p.shortIndices ? "5123" : "5125") +
               ",\"count\":" + std::to_string(p.indexCount) + ",\"type\":\"SCALAR\"}";
    }
    json_ += ']';
  }
  if (!meshes_.empty() || !images_.empty()) {
    json_ += ",\"bufferViews\":[";
    bool first = true;
    for (const MeshPlan& p : meshes_) {
      Spill();
      if (!first) json_ += ',';
      first = false;
      json_ += "{\"buffer\":0,\"byteOffset\":" + std::to_string(p.vertexOffset) +
               ",\"byteLength\":" + std::to_string(p.vertexCount * sizeof(Corner)) +
               ",\"byteStride\":32,\"target\":34962},{\"buffer\":0,\"byteOffset\":" + std::to_string(p.indexOffset) +
               ",\"byteLength\":" + std::to_string(p.indexCount * (p.shortIndices ? 2 : 4)) + ",\"target\":34963}";
    }
    for (const ImagePlan& im : images_) {
      if (!first) json_ += ',';
      first = false;
      json_ += "{\"buffer\":0,\"byteOffset\":" + std::to_string(im.offset) +
               ",\"byteLength\":" + std::to_string(im.length) + "}";
    }
    json_ += ']';
  }
  if (bin_ != 0) json_ += ",\"buffers\":[{\"byteLength\":" + std::to_string(bin_) + "}]";
}

void GltfFile::AppendMaterials() {
  if (!images_.empty() || plainUsed_) {
    json_ += ",\"materials\":[";
    for (std::size_t i = 0; i < images_.size(); ++i) {
      json_ += "{\"name\":\"texture " + std::to_string(images_[i].table) +
               "\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":" + std::to_string(i) +
               "},\"metallicFactor\":0,\"roughnessFactor\":1}";
      if (images_[i].mode == AlphaMode::kMask) {
        json_ += ",\"alphaMode\":\"MASK\",\"alphaCutoff\":";
        AppendFloat(json_, static_cast<float>(states_.alphaReference) / 255.0f);
      } else if (images_[i].mode == AlphaMode::kBlend) {
        json_ += ",\"alphaMode\":\"BLEND\"";
      }
      json_ += i + 1 < images_.size() || plainUsed_ ? "}," : "}";
    }
    if (plainUsed_)
      json_ += "{\"name\":\"plain\",\"pbrMetallicRoughness\":{\"metallicFactor\":0,\"roughnessFactor\":1}}";
    json_ += ']';
  }
  if (!images_.empty()) {
    const std::size_t firstImageView = meshes_.size() * 2;
    json_ += ",\"samplers\":[{\"magFilter\":" + std::to_string(states_.magFilter) +
             ",\"minFilter\":" + std::to_string(states_.minFilter) + ",\"wrapS\":" + std::to_string(states_.wrapS) +
             ",\"wrapT\":" + std::to_string(states_.wrapT) + "}],\"images\":[";
    for (std::size_t i = 0; i < images_.size(); ++i) {
      if (i) json_ += ',';
      json_ += "{\"name\":\"texture " + std::to_string(images_[i].table) +
               "\",\"mimeType\":\"image/png\",\"bufferView\":" + std::to_string(firstImageView + i);
      // Which picture file it is; without one, the device's copy.
      json_ += ",\"extras\":{\"file\":";
      if (images_[i].fromFile)
        AppendEscaped(json_, JsonText(source_.switches->pictureSources[static_cast<std::size_t>(images_[i].table)].file));
      else
        json_ += "null";
      json_ += "}}";
    }
    json_ += "],\"textures\":[";
    for (std::size_t i = 0; i < images_.size(); ++i) {
      if (i) json_ += ',';
      json_ += "{\"sampler\":0,\"source\":" + std::to_string(i) + "}";
    }
    json_ += ']';
  }
}

bool GltfFile::Write(const std::string& path, GltfCounts& counts, std::string& error) {
  const std::uint64_t counted = jsonBytes_;
  const std::uint64_t jsonLength = Pad4(counted);
  const std::uint64_t total = 12 + 8 + jsonLength + (bin_ != 0 ? 8 + bin_ : 0);
  if (total > kGlbLimit) {
    error = path + ": the world needs " + std::to_string(total) + " bytes, more than one binary glTF file holds";
    return false;
  }
  files::OutputFile out;
  // The output layer's messages may or may not name the file; ours always do.
  auto outputError = [&] { error = out.Error().rfind(path, 0) == 0 ? out.Error() : path + ": " + out.Error(); };
  if (!out.Open(codepage::Utf8ToCp949(path))) {
    outputError();
    return false;
  }
  Writer w(out.Stream());
  w.U32(kGlbMagic);
  w.U32(2);
  w.U32(static_cast<std::uint32_t>(total));
  w.U32(static_cast<std::uint32_t>(jsonLength));
  w.U32(kJsonChunk);
  MakeJson(&w);
  if (jsonBytes_ != counted) {
    error = path + ": the world changed while it was written";
    return false;
  }
  w.PadTo4(' ');
  json_ = std::string{};
  if (bin_ != 0) {
    w.U32(static_cast<std::uint32_t>(bin_));
    w.U32(kBinChunk);
    for (const MeshPlan& p : meshes_) {
      build_.Build(*p.record);
      if (build_.corners.size() != p.vertexCount || build_.indices.size() != p.indexCount) {
        error = path + ": a mesh changed while it was written";
        return false;
      }
      w.Bytes(build_.corners.data(), build_.corners.size() * sizeof(Corner));
      if (p.shortIndices) {
        std::vector<std::uint16_t> shortIndices(build_.indices.begin(), build_.indices.end());
        w.Bytes(shortIndices.data(), shortIndices.size() * 2);
      } else {
        w.Bytes(build_.indices.data(), build_.indices.size() * 4);
      }
      w.PadTo4('\0');
    }
    build_ = MeshBuild{};
    for (const ImagePlan& im : images_) {
      std::string why;
      const bool read = im.fromFile ? ReadPictureFile(source_.switches, im.table, picture_, why)
                                    : ReadSurface(source_.switches->textures[im.table], picture_);
      if (!read || !ToPng(picture_, png_) || png_.size() != im.length) {
        error = path + ": texture " + std::to_string(im.table) + " changed while it was written";
        return false;
      }
      w.Bytes(png_.data(), png_.size());
      w.PadTo4('\0');
    }
  }
  if (!w.Ok()) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (w.Written() != total) {
    error = path + ": wrote " + std::to_string(w.Written()) + " bytes where " + std::to_string(total) + " were planned";
    return false;
  }
  if (!out.Commit()) {
    outputError();
    return false;
  }
  // Nodes sharing a mesh draw its triangles once each.
  counts = GltfCounts{};
  counts.nodes = static_cast<std::int64_t>(nodes_.size());
  for (std::int64_t m : nodeMesh_)
    if (m >= 0) counts.triangles += static_cast<std::int64_t>(meshes_[static_cast<std::size_t>(m)].indexCount / 3);
  counts.meshes = static_cast<std::int64_t>(meshes_.size());
  counts.images = static_cast<std::int64_t>(images_.size());
  counts.bytes = total;
  return true;
}

}  // namespace

bool ExportGltf(const GltfSource& source, const std::string& path, GltfCounts& counts, std::string& error) {
  counts = GltfCounts{};
  if (RefusedDestination(path, error)) return false;
  GltfFile file(source);
  file.Plan();
  file.MakeJson();
  return file.Write(path, counts, error);
}

}  // namespace tarn::programs
