#include "export/CharacterPose.h"

#include <cmath>

namespace tarn::exports {

namespace {

double Det3(const double* r) {
  return r[0] * (r[4] * r[8] - r[5] * r[7]) - r[1] * (r[3] * r[8] - r[5] * r[6]) + r[2] * (r[3] * r[7] - r[4] * r[6]);
}

Quat Normalised(Quat q) {
  double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (!(n > 0) || !std::isfinite(n)) return {0, 0, 0, 1};
  for (double& v : q) v /= n;
  return q;
}

// A rotation matrix (row-major, column vectors) to a unit quaternion.
Quat FromMatrix(const double* m) {
  Quat q;
  double trace = m[0] + m[4] + m[8];
  if (trace > 0) {
    double s = std::sqrt(trace + 1.0) * 2;
    q = {(m[7] - m[5]) / s, (m[2] - m[6]) / s, (m[3] - m[1]) / s, 0.25 * s};
  } else if (m[0] > m[4] && m[0] > m[8]) {
    double s = std::sqrt(1.0 + m[0] - m[4] - m[8]) * 2;
    q = {0.25 * s, (m[1] + m[3]) / s, (m[2] + m[6]) / s, (m[7] - m[5]) / s};
  } else if (m[4] > m[8]) {
    double s = std::sqrt(1.0 + m[4] - m[0] - m[8]) * 2;
    q = {(m[1] + m[3]) / s, 0.25 * s, (m[5] + m[7]) / s, (m[2] - m[6]) / s};
  } else {
    double s = std::sqrt(1.0 + m[8] - m[0] - m[4]) * 2;
    q = {(m[2] + m[6]) / s, (m[5] + m[7]) / s, 0.25 * s, (m[3] - m[1]) / s};
  }
  q = Normalised(q);
  if (q[3] < 0)
    for (double& v : q) v = -v;
  return q;
}

}  // namespace

Vec3 AseToGltf(const Vec3& p) { return {p[0], p[2], -p[1]}; }

bool NodeTransform(const float rows[4][3], Affine& out) {
  // The ASE's matrix for row vectors: column j of R (column vectors) is
  // row j of the ASE. In glTF's axes R' = C R C^-1 with C: (x,y,z) ->
  // (x,z,-y); the images of the axes turn with C, and so does the order of
  // the axes they are images of.
  Vec3 image[3];
  for (int j = 0; j < 3; ++j) image[j] = AseToGltf({rows[j][0], rows[j][1], rows[j][2]});
  // glTF's x axis is the ASE's x, its y the ASE's z, its z the ASE's -y.
  const Vec3 col[3] = {image[0], image[2], {-image[1][0], -image[1][1], -image[1][2]}};
  Affine a;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a.r[i * 3 + j] = col[j][i];
  a.t = AseToGltf({rows[3][0], rows[3][1], rows[3][2]});
  double det = Det3(a.r);
  bool finite = std::isfinite(det) && std::isfinite(a.t[0]) && std::isfinite(a.t[1]) && std::isfinite(a.t[2]);
  if (!finite || std::fabs(det) < 1e-12) {
    out = Affine{};
    if (finite) out.t = a.t;
    return false;
  }
  out = a;
  return true;
}

Affine Multiply(const Affine& a, const Affine& b) {
  Affine c;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      c.r[i * 3 + j] = a.r[i * 3] * b.r[j] + a.r[i * 3 + 1] * b.r[3 + j] + a.r[i * 3 + 2] * b.r[6 + j];
    c.t[i] = a.r[i * 3] * b.t[0] + a.r[i * 3 + 1] * b.t[1] + a.r[i * 3 + 2] * b.t[2] + a.t[i];
  }
  return c;
}

bool Invert(const Affine& a, Affine& out) {
  const double* m = a.r;
  double det = Det3(m);
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
  double inv[9] = {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
                   (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
                   (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
                   (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
                   (m[0] * m[4] - m[1] * m[3]) / det};
  for (int i = 0; i < 9; ++i) out.r[i] = inv[i];
  for (int i = 0; i < 3; ++i) out.t[i] = -(inv[i * 3] * a.t[0] + inv[i * 3 + 1] * a.t[1] + inv[i * 3 + 2] * a.t[2]);
  return true;
}

Affine FromTrs(const Trs& trs) {
  const auto& [x, y, z, w] = trs.rotation;
  const double rot[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                         2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                         2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
  Affine a;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a.r[i * 3 + j] = rot[i * 3 + j] * trs.scale[j];
  a.t = trs.translation;
  return a;
}

Trs Decompose(const Affine& a) {
  Trs out;
  out.translation = a.t;
  double sign = Det3(a.r) < 0 ? -1.0 : 1.0;
  double rot[9];
  for (int j = 0; j < 3; ++j) {
    double len = std::sqrt(a.r[j] * a.r[j] + a.r[3 + j] * a.r[3 + j] + a.r[6 + j] * a.r[6 + j]);
    if (!(len > 0)) len = 1;
    out.scale[j] = sign * len;
    for (int i = 0; i < 3; ++i) rot[i * 3 + j] = a.r[i * 3 + j] / out.scale[j];
  }
  // Four decimals leave the rows a little off square: the nearest rotation
  // (polar decomposition, by averaging with the inverse transpose) keeps
  // what every row says, where reading the quaternion off the raw matrix
  // would favour some of its numbers.
  for (int iteration = 0; iteration < 8; ++iteration) {
    Affine a2, inv;
    for (int i = 0; i < 9; ++i) a2.r[i] = rot[i];
    if (!Invert(a2, inv)) break;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) rot[i * 3 + j] = 0.5 * (rot[i * 3 + j] + inv.r[j * 3 + i]);
  }
  out.rotation = FromMatrix(rot);
  return out;
}

std::array<float, 16> ColumnMajor(const Affine& a) {
  std::array<float, 16> m{};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) m[j * 4 + i] = static_cast<float>(a.r[i * 3 + j]);
  for (int i = 0; i < 3; ++i) m[12 + i] = static_cast<float>(a.t[i]);
  m[15] = 1;
  return m;
}

Quat Multiply(const Quat& a, const Quat& b) {
  return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
          a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

Quat AseRotation(float ax, float ay, float az, float angle) {
  Vec3 axis = AseToGltf({ax, ay, az});
  double len = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  // A zero axis (the exporter writes 0 0 0 0 for no turn) is no rotation.
  if (!(len > 0) || !std::isfinite(len) || !std::isfinite(angle)) return {0, 0, 0, 1};
  double half = -0.5 * static_cast<double>(angle), s = std::sin(half) / len;
  return Normalised({axis[0] * s, axis[1] * s, axis[2] * s, std::cos(half)});
}

namespace {

// Samples with equal keys: the last value of a key stands.
template <class Track, class Value>
void PutKey(Track& track, int key, const Value& v) {
  if (!track.keys.empty() && track.keys.back() == key) {
    track.values.back() = v;
  } else {
    track.keys.push_back(key);
    track.values.push_back(v);
  }
}

}  // namespace

PositionTrack MakePositionTrack(const std::vector<KeyedPosition>& samples) {
  PositionTrack track;
  for (const KeyedPosition& s : samples) {
    Vec3 v = AseToGltf(s.value);
    PutKey(track, s.key, v);
  }
  return track;
}

RotationTrack MakeRotationTrack(const std::vector<KeyedRotation>& samples) {
  RotationTrack track;
  Quat q = {0, 0, 0, 1};
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const KeyedRotation& s = samples[i];
    Quat d = AseRotation(s.axis[0], s.axis[1], s.axis[2], s.angle);
    q = Normalised(i == 0 ? d : Multiply(d, q));
    Quat v = q;
    if (!track.values.empty()) {
      const Quat& p = track.values.back();
      if (p[0] * v[0] + p[1] * v[1] + p[2] * v[2] + p[3] * v[3] < 0)
        for (double& c : v) c = -c;
    }
    PutKey(track, s.key, v);
  }
  return track;
}

}  // namespace tarn::exports
