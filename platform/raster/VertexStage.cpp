// Transform, lighting and projection of a draw's vertices.
#include "platform/raster/VertexStage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarn::raster {
namespace {

constexpr float kGuardBand = 8.0f;  // as the clipper's
constexpr int kSubPixel = 16;

void Multiply(const float* a, const float* b, float* out) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      out[i * 4 + j] = a[i * 4 + 0] * b[0 * 4 + j] + a[i * 4 + 1] * b[1 * 4 + j] + a[i * 4 + 2] * b[2 * 4 + j] +
                       a[i * 4 + 3] * b[3 * 4 + j];
}

Colour FromArgb(std::uint32_t c) {
  return Colour{static_cast<float>((c >> 16) & 255) / 255.0f, static_cast<float>((c >> 8) & 255) / 255.0f,
                static_cast<float>(c & 255) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

inline std::int32_t RoundToInt(float v) {  // to nearest, ties to even; |v| < 2^31
#if defined(__SSE2__)
  return _mm_cvtsd_si32(_mm_set_sd(static_cast<double>(v)));
#else
  return static_cast<std::int32_t>(std::lrint(static_cast<double>(v)));
#endif
}

inline float Byte(float v) {  // 0..1 -> 0..255, NaN -> 0
  float o = std::min(std::max(v, 0.0f), 1.0f) * 255.0f;
  return o == o ? o : 0.0f;
}

bool SameLights(const Light* a, const Light* b) {
  for (int i = 0; i < State::kLights; ++i) {
    const Light& x = a[i];
    const Light& y = b[i];
    if (x.enabled != y.enabled || std::memcmp(x.direction, y.direction, sizeof x.direction) != 0 ||
        x.diffuse.r != y.diffuse.r || x.diffuse.g != y.diffuse.g || x.diffuse.b != y.diffuse.b ||
        x.diffuse.a != y.diffuse.a || x.ambient.r != y.ambient.r || x.ambient.g != y.ambient.g ||
        x.ambient.b != y.ambient.b || x.ambient.a != y.ambient.a)
      return false;
  }
  return true;
}

}  // namespace

ProjectedPosition ProjectPosition(float x, float y, float z, float w, const ViewportMap& m) {
  ProjectedPosition o;
  float iw = 1.0f / w;
  float sx = m.x + (1.0f + x * iw) * m.width * 0.5f;
  float sy = m.y + (1.0f - y * iw) * m.height * 0.5f;
  constexpr float kLimit = 1.0e6f;
  if (!(sx > -kLimit)) sx = -kLimit;
  if (!(sx < kLimit)) sx = kLimit;
  if (!(sy > -kLimit)) sy = -kLimit;
  if (!(sy < kLimit)) sy = kLimit;
  // sx x 16 is exact in float (a power-of-two scale), as it was in double.
  o.xi = RoundToInt(sx * kSubPixel);
  o.yi = RoundToInt(sy * kSubPixel);
  o.x = static_cast<float>(o.xi) / kSubPixel;
  o.y = static_cast<float>(o.yi) / kSubPixel;
  o.iw = iw;
  o.z = m.minZ + z * iw * (m.maxZ - m.minZ);
  return o;
}

void VertexStage::Compile(const State& s) {
  Compiled& c = compiled_;
  float worldView[16];
  Multiply(s.world, s.view, worldView);
  Multiply(worldView, s.projection, c.mvp);
  // Normals go through the inverse transpose of world x view (3x3 part):
  // n' = n x cofactor(M) / det(M).
  const float* m = worldView;
  float cof[9] = {m[5] * m[10] - m[6] * m[9],  m[6] * m[8] - m[4] * m[10], m[4] * m[9] - m[5] * m[8],
                  m[2] * m[9] - m[1] * m[10],  m[0] * m[10] - m[2] * m[8], m[1] * m[8] - m[0] * m[9],
                  m[1] * m[6] - m[2] * m[5],   m[2] * m[4] - m[0] * m[6],  m[0] * m[5] - m[1] * m[4]};
  std::memcpy(c.cof, cof, sizeof cof);
  float det = m[0] * cof[0] + m[1] * cof[1] + m[2] * cof[2];
  c.invDet = det != 0.0f && std::isfinite(det) ? 1.0f / det : 0.0f;
  // Lights in camera space: the vector toward each light.
  c.lightCount = 0;
  c.ambientSum = FromArgb(s.ambient);
  if (s.lighting) {
    for (const Light& L : s.lights) {
      if (!L.enabled) continue;
      c.ambientSum.r += L.ambient.r;
      c.ambientSum.g += L.ambient.g;
      c.ambientSum.b += L.ambient.b;
      const float* v = s.view;
      float d[3] = {L.direction[0] * v[0] + L.direction[1] * v[4] + L.direction[2] * v[8],
                    L.direction[0] * v[1] + L.direction[1] * v[5] + L.direction[2] * v[9],
                    L.direction[0] * v[2] + L.direction[1] * v[6] + L.direction[2] * v[10]};
      float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      if (!(len > 0.0f) || !std::isfinite(len)) continue;
      CamLight& cl = c.lights[c.lightCount++];
      cl.l[0] = -d[0] / len;
      cl.l[1] = -d[1] / len;
      cl.l[2] = -d[2] / len;
      cl.diffuse = L.diffuse;
    }
  }
}

void VertexStage::Run(const State& s, const ViewportMap& viewport, const Vertices& in, std::size_t count) {
  if (!haveCompiled_ || std::memcmp(world_, s.world, 64) != 0 || std::memcmp(view_, s.view, 64) != 0 ||
      std::memcmp(projection_, s.projection, 64) != 0 || ambient_ != s.ambient || lighting_ != s.lighting ||
      !SameLights(lights_, s.lights)) {
    Compile(s);
    std::memcpy(world_, s.world, 64);
    std::memcpy(view_, s.view, 64);
    std::memcpy(projection_, s.projection, 64);
    std::copy(std::begin(s.lights), std::end(s.lights), lights_);
    ambient_ = s.ambient;
    lighting_ = s.lighting;
    haveCompiled_ = true;
  }
  const Compiled& c = compiled_;
  const float* mvp = c.mvp;
  if (out_.size() < count) out_.resize(count);

  const bool hasDiffuse = in.diffuse >= 0;
  auto source = [&](int which, const Colour& vertexDiffuse, const Colour& materialColour) {
    return (s.colorVertex && hasDiffuse && which == 1) ? vertexDiffuse : materialColour;
  };
  bool allOpaque = true;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* src = in.data + i * in.stride;
    VertexOut& o = out_[i];
    float pos[3];
    std::memcpy(pos, src, sizeof pos);
    ClipVertex& v = o.clip;
    v.x = pos[0] * mvp[0] + pos[1] * mvp[4] + pos[2] * mvp[8] + mvp[12];
    v.y = pos[0] * mvp[1] + pos[1] * mvp[5] + pos[2] * mvp[9] + mvp[13];
    v.z = pos[0] * mvp[2] + pos[1] * mvp[6] + pos[2] * mvp[10] + mvp[14];
    v.w = pos[0] * mvp[3] + pos[1] * mvp[7] + pos[2] * mvp[11] + mvp[15];
    o.bad = !(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w));
    unsigned code = 0;
    if (v.z < 0.0f) code |= 1u;
    if (v.w - v.z < 0.0f) code |= 2u;
    if (kGuardBand * v.w + v.x < 0.0f) code |= 4u;
    if (kGuardBand * v.w - v.x < 0.0f) code |= 8u;
    if (kGuardBand * v.w + v.y < 0.0f) code |= 16u;
    if (kGuardBand * v.w - v.y < 0.0f) code |= 32u;
    if (!(v.w > 0.0f)) code |= 64u;
    o.code = code;
    if (in.texCoord >= 0) {
      float uv[2];
      std::memcpy(uv, src + in.texCoord, sizeof uv);
      v.u = std::isfinite(uv[0]) ? uv[0] : 0.0f;
      v.v = std::isfinite(uv[1]) ? uv[1] : 0.0f;
    } else {
      v.u = v.v = 0.0f;
    }

    Colour vertexDiffuse{1, 1, 1, 1};
    if (hasDiffuse) {
      std::uint32_t argb;
      std::memcpy(&argb, src + in.diffuse, 4);
      vertexDiffuse = FromArgb(argb);
    }
    Colour lit;
    if (s.lighting) {
      Colour md = source(s.diffuseSource, vertexDiffuse, s.material.diffuse);
      Colour ma = source(s.ambientSource, vertexDiffuse, s.material.ambient);
      Colour me = source(s.emissiveSource, vertexDiffuse, s.material.emissive);
      lit.r = me.r + ma.r * c.ambientSum.r;
      lit.g = me.g + ma.g * c.ambientSum.g;
      lit.b = me.b + ma.b * c.ambientSum.b;
      if (in.normal >= 0 && c.lightCount > 0) {
        float nrm[3];
        std::memcpy(nrm, src + in.normal, sizeof nrm);
        const float* cof = c.cof;
        float n[3] = {(nrm[0] * cof[0] + nrm[1] * cof[3] + nrm[2] * cof[6]) * c.invDet,
                      (nrm[0] * cof[1] + nrm[1] * cof[4] + nrm[2] * cof[7]) * c.invDet,
                      (nrm[0] * cof[2] + nrm[1] * cof[5] + nrm[2] * cof[8]) * c.invDet};
        if (s.normalizeNormals) {
          float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
          if (len > 0.0f) {
            n[0] /= len;
            n[1] /= len;
            n[2] /= len;
          }
        }
        for (int l = 0; l < c.lightCount; ++l) {
          const CamLight& L = c.lights[l];
          float dot = n[0] * L.l[0] + n[1] * L.l[1] + n[2] * L.l[2];
          if (dot > 0.0f) {
            lit.r += md.r * L.diffuse.r * dot;
            lit.g += md.g * L.diffuse.g * dot;
            lit.b += md.b * L.diffuse.b * dot;
          }
        }
      }
      lit.a = md.a;
    } else {
      lit = vertexDiffuse;
    }
    v.r = Byte(lit.r);
    v.g = Byte(lit.g);
    v.b = Byte(lit.b);
    v.a = Byte(lit.a);
    allOpaque = allOpaque && v.a >= 255.0f;

    if (code == 0 && !o.bad) {
      ProjectedPosition q = ProjectPosition(v.x, v.y, v.z, v.w, viewport);
      o.xi = q.xi;
      o.yi = q.yi;
      o.sx = q.x;
      o.sy = q.y;
      o.iw = q.iw;
      o.z = q.z;
    }
  }
  allOpaque_ = allOpaque;
}

}  // namespace tarn::raster
