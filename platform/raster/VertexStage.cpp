// Transform, lighting and projection of a draw's vertices.
#include "platform/raster/VertexStage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "platform/raster/RasterLocal.h"

namespace tarn::raster {
using detail::kScreenLimit;
using detail::kSubPixel;

namespace {

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

// 0..1 -> 0..255, NaN -> 0; as the SIMD min and max compare.
inline float Byte(float v) {
  float t = v > 0.0f ? v : 0.0f;
  t = t < 1.0f ? t : 1.0f;
  return t * 255.0f;
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
  if (!(sx > -kScreenLimit)) sx = -kScreenLimit;
  if (!(sx < kScreenLimit)) sx = kScreenLimit;
  if (!(sy > -kScreenLimit)) sy = -kScreenLimit;
  if (!(sy < kScreenLimit)) sy = kScreenLimit;
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
  VertexConstants& c = compiled_;
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
      VertexConstants::CamLight& cl = c.lights[c.lightCount++];
      cl.l[0] = -d[0] / len;
      cl.l[1] = -d[1] / len;
      cl.l[2] = -d[2] / len;
      cl.diffuse = L.diffuse;
    }
  }
}

void VertexArrays::Resize(std::size_t n) {
  n += kPadding;
  if (x.size() >= n) return;
  for (auto* f : {&x, &y, &z, &w, &r, &g, &b, &a, &u, &v, &sx, &sy, &iw, &dz}) f->resize(n);
  code.resize(n);
  xi.resize(n);
  yi.resize(n);
}

namespace {

#if defined(TARN_RASTER_AVX2)  // the build has the instruction set (RasterLocal.h)
#define TARN_AVX2 __attribute__((target("avx2")))

TARN_AVX2 inline __m256i Bit(__m256 mask, int value) {
  return _mm256_and_si256(_mm256_castps_si256(mask), _mm256_set1_epi32(value));
}
TARN_AVX2 inline __m256 ByteOf(__m256 v) {
  __m256 t = _mm256_max_ps(v, _mm256_setzero_ps());
  return _mm256_mul_ps(_mm256_min_ps(t, _mm256_set1_ps(1.0f)), _mm256_set1_ps(255.0f));
}
TARN_AVX2 inline __m256 FiniteMask(__m256 v) {
  return _mm256_cmp_ps(_mm256_mul_ps(v, _mm256_setzero_ps()), _mm256_setzero_ps(), _CMP_EQ_OQ);
}
// ((a m[k] + b m[4 + k]) + c m[8 + k]), in the scalar path's order.
TARN_AVX2 inline __m256 Dot3(__m256 a, __m256 b, __m256 c, float ma, float mb, float mc) {
  return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(a, _mm256_set1_ps(ma)), _mm256_mul_ps(b, _mm256_set1_ps(mb))),
                       _mm256_mul_ps(c, _mm256_set1_ps(mc)));
}

// Eight vertices of eight floats each -> each member's eight values.
TARN_AVX2 inline void Transpose8(const float* v, __m256& m0, __m256& m1, __m256& m2, __m256& m3, __m256& m4,
                                 __m256& m5, __m256& m6, __m256& m7) {
  __m256 r0 = _mm256_loadu_ps(v), r1 = _mm256_loadu_ps(v + 8), r2 = _mm256_loadu_ps(v + 16),
         r3 = _mm256_loadu_ps(v + 24), r4 = _mm256_loadu_ps(v + 32), r5 = _mm256_loadu_ps(v + 40),
         r6 = _mm256_loadu_ps(v + 48), r7 = _mm256_loadu_ps(v + 56);
  __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
  __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
  __m256 t4 = _mm256_unpacklo_ps(r4, r5), t5 = _mm256_unpackhi_ps(r4, r5);
  __m256 t6 = _mm256_unpacklo_ps(r6, r7), t7 = _mm256_unpackhi_ps(r6, r7);
  __m256 u0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0)), u1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
  __m256 u2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0)), u3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
  __m256 u4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0)), u5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
  __m256 u6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0)), u7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
  m0 = _mm256_permute2f128_ps(u0, u4, 0x20);
  m1 = _mm256_permute2f128_ps(u1, u5, 0x20);
  m2 = _mm256_permute2f128_ps(u2, u6, 0x20);
  m3 = _mm256_permute2f128_ps(u3, u7, 0x20);
  m4 = _mm256_permute2f128_ps(u0, u4, 0x31);
  m5 = _mm256_permute2f128_ps(u1, u5, 0x31);
  m6 = _mm256_permute2f128_ps(u2, u6, 0x31);
  m7 = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// One group of eight vertices as read: position, normal, texture coordinates.
struct Group {
  __m256 px, py, pz, nx, ny, nz, tu, tv;
};

// The engine's vertex (position, normal, texture coordinates: 32 bytes) is
// read eight at a time and transposed; other layouts are gathered.
TARN_AVX2 inline Group LoadGroup(const Vertices& in, const float* base, __m256i lane, bool packed, bool normals) {
  Group g;
  if (packed) {
    Transpose8(base, g.px, g.py, g.pz, g.nx, g.ny, g.nz, g.tu, g.tv);
    return g;
  }
  g.px = _mm256_i32gather_ps(base, lane, 4);
  g.py = _mm256_i32gather_ps(base + 1, lane, 4);
  g.pz = _mm256_i32gather_ps(base + 2, lane, 4);
  g.nx = g.ny = g.nz = g.tu = g.tv = _mm256_setzero_ps();
  if (normals) {
    const float* nb = base + in.normal / 4;
    g.nx = _mm256_i32gather_ps(nb, lane, 4);
    g.ny = _mm256_i32gather_ps(nb + 1, lane, 4);
    g.nz = _mm256_i32gather_ps(nb + 2, lane, 4);
  }
  if (in.texCoord >= 0) {
    const float* tb = base + in.texCoord / 4;
    g.tu = _mm256_i32gather_ps(tb, lane, 4);
    g.tv = _mm256_i32gather_ps(tb + 1, lane, 4);
  }
  return g;
}

// `bit` where v < 0.
TARN_AVX2 inline __m256i Below(__m256 v, int bit) { return Bit(_mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_LT_OQ), bit); }

// detail::OutcodeOf and kNotFinite for eight positions, stored as eight bytes.
TARN_AVX2 inline void StoreOutcodes(__m256 x, __m256 y, __m256 z, __m256 w, std::uint8_t* out) {
  using namespace detail;
  const __m256 fin = _mm256_and_ps(_mm256_and_ps(FiniteMask(x), FiniteMask(y)), _mm256_and_ps(FiniteMask(z), FiniteMask(w)));
  __m256i code = _mm256_or_si256(Bit(_mm256_cmp_ps(w, _mm256_setzero_ps(), _CMP_NGT_UQ), kOutsideBehind),
                                 _mm256_andnot_si256(_mm256_castps_si256(fin), _mm256_set1_epi32(kNotFinite)));
  for (int plane = kNearPlane; plane <= kTopPlane; ++plane) {
    __m256 d;
    PlaneDistance(plane, x, y, z, w, d);
    code = _mm256_or_si256(code, Below(d, 1 << plane));
  }
  __m128i code16 = _mm_packus_epi32(_mm256_castsi256_si128(code), _mm256_extracti128_si256(code, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(code16, code16));
}

// The lit colour of eight vertices from their normals (r, g, b start as the
// material's emissive and ambient part).
TARN_AVX2 inline void LightGroup(const VertexConstants& c, const State& s, const Group& g, __m256& r, __m256& gr,
                                 __m256& b) {
  const Material& mat = s.material;
  const __m256 zero = _mm256_setzero_ps();
  const float* cof = c.cof;
  const __m256 invDet = _mm256_set1_ps(c.invDet);
  __m256 n0 = _mm256_mul_ps(Dot3(g.nx, g.ny, g.nz, cof[0], cof[3], cof[6]), invDet);
  __m256 n1 = _mm256_mul_ps(Dot3(g.nx, g.ny, g.nz, cof[1], cof[4], cof[7]), invDet);
  __m256 n2 = _mm256_mul_ps(Dot3(g.nx, g.ny, g.nz, cof[2], cof[5], cof[8]), invDet);
  if (s.normalizeNormals) {
    __m256 len =
        _mm256_sqrt_ps(_mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(n0, n0), _mm256_mul_ps(n1, n1)), _mm256_mul_ps(n2, n2)));
    __m256 positive = _mm256_cmp_ps(len, zero, _CMP_GT_OQ);
    n0 = _mm256_blendv_ps(n0, _mm256_div_ps(n0, len), positive);
    n1 = _mm256_blendv_ps(n1, _mm256_div_ps(n1, len), positive);
    n2 = _mm256_blendv_ps(n2, _mm256_div_ps(n2, len), positive);
  }
  for (int l = 0; l < c.lightCount; ++l) {
    const VertexConstants::CamLight& L = c.lights[l];
    __m256 dot = _mm256_add_ps(
        _mm256_add_ps(_mm256_mul_ps(n0, _mm256_set1_ps(L.l[0])), _mm256_mul_ps(n1, _mm256_set1_ps(L.l[1]))),
        _mm256_mul_ps(n2, _mm256_set1_ps(L.l[2])));
    __m256 facing = _mm256_cmp_ps(dot, zero, _CMP_GT_OQ);
    r = _mm256_blendv_ps(r, _mm256_add_ps(r, _mm256_mul_ps(_mm256_set1_ps(mat.diffuse.r * L.diffuse.r), dot)), facing);
    gr = _mm256_blendv_ps(gr, _mm256_add_ps(gr, _mm256_mul_ps(_mm256_set1_ps(mat.diffuse.g * L.diffuse.g), dot)), facing);
    b = _mm256_blendv_ps(b, _mm256_add_ps(b, _mm256_mul_ps(_mm256_set1_ps(mat.diffuse.b * L.diffuse.b), dot)), facing);
  }
}

// ProjectPosition for eight positions, into o from index i. Every lane is
// projected; the triangle loop reads only those whose outcode is 0.
TARN_AVX2 inline void ProjectGroup(const ViewportMap& m, __m256 x, __m256 y, __m256 z, __m256 w, VertexArrays& o,
                                   std::size_t i) {
  const __m256 one = _mm256_set1_ps(1.0f), half = _mm256_set1_ps(0.5f);
  const __m256 subPixel = _mm256_set1_ps(static_cast<float>(kSubPixel));
  __m256 iw = _mm256_div_ps(one, w);
  __m256 sx = _mm256_add_ps(_mm256_set1_ps(m.x),
                            _mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(one, _mm256_mul_ps(x, iw)), _mm256_set1_ps(m.width)), half));
  __m256 sy = _mm256_add_ps(_mm256_set1_ps(m.y),
                            _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(one, _mm256_mul_ps(y, iw)), _mm256_set1_ps(m.height)), half));
  sx = _mm256_min_ps(_mm256_max_ps(sx, _mm256_set1_ps(-kScreenLimit)), _mm256_set1_ps(kScreenLimit));
  sy = _mm256_min_ps(_mm256_max_ps(sy, _mm256_set1_ps(-kScreenLimit)), _mm256_set1_ps(kScreenLimit));
  __m256i xi = _mm256_cvtps_epi32(_mm256_mul_ps(sx, subPixel));
  __m256i yi = _mm256_cvtps_epi32(_mm256_mul_ps(sy, subPixel));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(&o.xi[i]), xi);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(&o.yi[i]), yi);
  _mm256_storeu_ps(&o.sx[i], _mm256_div_ps(_mm256_cvtepi32_ps(xi), subPixel));
  _mm256_storeu_ps(&o.sy[i], _mm256_div_ps(_mm256_cvtepi32_ps(yi), subPixel));
  _mm256_storeu_ps(&o.iw[i], iw);
  _mm256_storeu_ps(&o.dz[i],
                   _mm256_add_ps(_mm256_set1_ps(m.minZ), _mm256_mul_ps(_mm256_mul_ps(z, iw), _mm256_set1_ps(m.maxZ - m.minZ))));
}

constexpr std::size_t kPrefetchVertices = 64;

// The common case eight vertices at a time: colours from the material (no
// vertex colour), so only the normal varies the lighting. The arithmetic is
// the scalar path's, operation for operation.
TARN_AVX2 void RunAvx2(const VertexConstants& c, const State& s, const ViewportMap& m, const Vertices& in,
                       std::size_t end, VertexArrays& o) {
  const float* mvp = c.mvp;
  const __m256i lane = _mm256_mullo_epi32(_mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0),
                                          _mm256_set1_epi32(static_cast<int>(in.stride / 4)));
  const Material& mat = s.material;
  const bool lit = s.lighting;
  const bool normals = lit && in.normal >= 0 && c.lightCount > 0;
  const __m256 baseR = _mm256_set1_ps(lit ? mat.emissive.r + mat.ambient.r * c.ambientSum.r : 1.0f);
  const __m256 baseG = _mm256_set1_ps(lit ? mat.emissive.g + mat.ambient.g * c.ambientSum.g : 1.0f);
  const __m256 baseB = _mm256_set1_ps(lit ? mat.emissive.b + mat.ambient.b * c.ambientSum.b : 1.0f);
  const __m256 alpha = ByteOf(_mm256_set1_ps(lit ? mat.diffuse.a : 1.0f));
  const bool packed = in.stride == 32 && in.normal == 12 && in.texCoord == 24;
  for (std::size_t i = 0; i + 8 <= end; i += 8) {
    // The caller's vertices are seldom in the cache: ask for them a few
    // groups ahead. Past the end of the array this is an address, not a
    // pointer, and a prefetch never faults.
    const std::uintptr_t ahead = reinterpret_cast<std::uintptr_t>(in.data) + (i + kPrefetchVertices) * in.stride;
    for (std::size_t line = 0; line < 8 * in.stride; line += 64)
      _mm_prefetch(reinterpret_cast<const char*>(ahead + line), _MM_HINT_T0);
    const Group g = LoadGroup(in, reinterpret_cast<const float*>(in.data + i * in.stride), lane, packed, normals);
    __m256 x = _mm256_add_ps(Dot3(g.px, g.py, g.pz, mvp[0], mvp[4], mvp[8]), _mm256_set1_ps(mvp[12]));
    __m256 y = _mm256_add_ps(Dot3(g.px, g.py, g.pz, mvp[1], mvp[5], mvp[9]), _mm256_set1_ps(mvp[13]));
    __m256 z = _mm256_add_ps(Dot3(g.px, g.py, g.pz, mvp[2], mvp[6], mvp[10]), _mm256_set1_ps(mvp[14]));
    __m256 w = _mm256_add_ps(Dot3(g.px, g.py, g.pz, mvp[3], mvp[7], mvp[11]), _mm256_set1_ps(mvp[15]));
    _mm256_storeu_ps(&o.x[i], x);
    _mm256_storeu_ps(&o.y[i], y);
    _mm256_storeu_ps(&o.z[i], z);
    _mm256_storeu_ps(&o.w[i], w);
    StoreOutcodes(x, y, z, w, &o.code[i]);
    _mm256_storeu_ps(&o.u[i], _mm256_and_ps(g.tu, FiniteMask(g.tu)));
    _mm256_storeu_ps(&o.v[i], _mm256_and_ps(g.tv, FiniteMask(g.tv)));
    __m256 r = baseR, gr = baseG, b = baseB;
    if (normals) LightGroup(c, s, g, r, gr, b);
    _mm256_storeu_ps(&o.r[i], ByteOf(r));
    _mm256_storeu_ps(&o.g[i], ByteOf(gr));
    _mm256_storeu_ps(&o.b[i], ByteOf(b));
    _mm256_storeu_ps(&o.a[i], alpha);
    ProjectGroup(m, x, y, z, w, o, i);
  }
}
#undef TARN_AVX2
#endif

}  // namespace

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
  out_.Resize(count);
  allOpaque_ = true;
  std::size_t done = 0;
#if defined(TARN_RASTER_AVX2)
  // Gathers address the vertices through 32-bit offsets from each group's first.
  if (detail::UseAvx2() && in.diffuse < 0 && in.stride % 4 == 0 && in.stride <= (1u << 24) && count >= 8 &&
      (in.normal < 0 || in.normal % 4 == 0) && (in.texCoord < 0 || in.texCoord % 4 == 0)) {
    RunAvx2(compiled_, s, viewport, in, count, out_);
    done = count - count % 8;
    float alpha = Byte(s.lighting ? s.material.diffuse.a : 1.0f);
    allOpaque_ = alpha >= 255.0f;
  }
#endif
  Scalar(s, viewport, in, done, count);
}

void VertexStage::Scalar(const State& s, const ViewportMap& viewport, const Vertices& in, std::size_t begin,
                         std::size_t end) {
  const VertexConstants& c = compiled_;
  const float* mvp = c.mvp;
  VertexArrays& o = out_;
  const bool hasDiffuse = in.diffuse >= 0;
  auto source = [&](int which, const Colour& vertexDiffuse, const Colour& materialColour) {
    return (s.colorVertex && hasDiffuse && which == 1) ? vertexDiffuse : materialColour;
  };
  bool allOpaque = allOpaque_;
  for (std::size_t i = begin; i < end; ++i) {
    const std::uint8_t* src = in.data + i * in.stride;
    float pos[3];
    std::memcpy(pos, src, sizeof pos);
    float x = pos[0] * mvp[0] + pos[1] * mvp[4] + pos[2] * mvp[8] + mvp[12];
    float y = pos[0] * mvp[1] + pos[1] * mvp[5] + pos[2] * mvp[9] + mvp[13];
    float z = pos[0] * mvp[2] + pos[1] * mvp[6] + pos[2] * mvp[10] + mvp[14];
    float w = pos[0] * mvp[3] + pos[1] * mvp[7] + pos[2] * mvp[11] + mvp[15];
    o.x[i] = x;
    o.y[i] = y;
    o.z[i] = z;
    o.w[i] = w;
    bool bad = !(std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && std::isfinite(w));
    unsigned code = detail::OutcodeOf(x, y, z, w) | (bad ? unsigned{detail::kNotFinite} : 0u);
    o.code[i] = static_cast<std::uint8_t>(code);
    if (in.texCoord >= 0) {
      float uv[2];
      std::memcpy(uv, src + in.texCoord, sizeof uv);
      o.u[i] = std::isfinite(uv[0]) ? uv[0] : 0.0f;
      o.v[i] = std::isfinite(uv[1]) ? uv[1] : 0.0f;
    } else {
      o.u[i] = o.v[i] = 0.0f;
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
          const VertexConstants::CamLight& L = c.lights[l];
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
    o.r[i] = Byte(lit.r);
    o.g[i] = Byte(lit.g);
    o.b[i] = Byte(lit.b);
    o.a[i] = Byte(lit.a);
    allOpaque = allOpaque && o.a[i] >= 255.0f;

    if (code == 0) {
      ProjectedPosition q = ProjectPosition(x, y, z, w, viewport);
      o.xi[i] = q.xi;
      o.yi[i] = q.yi;
      o.sx[i] = q.x;
      o.sy[i] = q.y;
      o.iw[i] = q.iw;
      o.dz[i] = q.z;
    }
  }
  allOpaque_ = allOpaque;
}

}  // namespace tarn::raster
