// Matrix products and builders in single precision, rounded as the engine
// has always rounded them (every step stored as a float).
#include "engine/scene/MathKit.h"

#include <cmath>

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
  Matrix4 t;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum = a(i, k) * b(k, j) + sum;
      t(i, j) = sum;
    }
  }
  return t;
}

void MathKit::SetIdentity(Matrix4& m) {
  for (int i = 0; i < 16; ++i) m.m[i] = 0.0f;
  m(0, 0) = m(1, 1) = m(2, 2) = m(3, 3) = 1.0f;
}

void MathKit::RotationAxis(Matrix4& out, Vector3 axis, float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  const Vector3 n = Normalize(axis);
  const float x = n.x, y = n.y, z = n.z;
  const float t = 1.0f - c;
  out(0, 0) = x * x * t + c;
  out(0, 1) = x * y * t - z * s;
  out(0, 2) = x * z * t + y * s;
  out(0, 3) = 0.0f;
  out(1, 0) = y * x * t + z * s;
  out(1, 1) = y * y * t + c;
  out(1, 2) = y * z * t - x * s;
  out(1, 3) = 0.0f;
  out(2, 0) = z * x * t - y * s;
  out(2, 1) = z * y * t + x * s;
  out(2, 2) = z * z * t + c;
  out(2, 3) = 0.0f;
  out(3, 0) = 0.0f;
  out(3, 1) = 0.0f;
  out(3, 2) = 0.0f;
  out(3, 3) = 1.0f;
}

int MathKit::LookAt(Matrix4& out, const Vector3& eye, const Vector3& target, const Vector3& up) {
  const Vector3 zAxis = Normalize(target - eye);
  const Vector3 xAxis = Cross(up, zAxis);
  out(0, 0) = xAxis.x;
  out(0, 1) = up.x;
  out(0, 2) = zAxis.x;
  out(0, 3) = 0.0f;
  out(1, 0) = xAxis.y;
  out(1, 1) = up.y;
  out(1, 2) = zAxis.y;
  out(1, 3) = 0.0f;
  out(2, 0) = xAxis.z;
  out(2, 1) = up.z;
  out(2, 2) = zAxis.z;
  out(2, 3) = 0.0f;
  out(3, 0) = -Dot(eye, xAxis);
  out(3, 1) = -Dot(eye, up);
  out(3, 2) = -Dot(eye, zAxis);
  out(3, 3) = 1.0f;
  return 1;
}

std::int32_t MathKit::TransformPoint(Vector3& dst, const Vector3& src, const Matrix4& m) {
  const float x = src.x, y = src.y, z = src.z;
  const float xp = x * m(0, 0) + y * m(1, 0) + z * m(2, 0) + m(3, 0);
  const float yp = x * m(0, 1) + y * m(1, 1) + z * m(2, 1) + m(3, 1);
  const float zp = x * m(0, 2) + y * m(1, 2) + z * m(2, 2) + m(3, 2);
  const float wp = x * m(0, 3) + y * m(1, 3) + z * m(2, 3) + m(3, 3);
  if (std::fabs(wp) < 0.00001f) return kMathInvalidArg;
  dst = Vector3(xp / wp, yp / wp, zp / wp);
  return 0;
}

std::int32_t MathKit::InvertAffine(Matrix4& dst, const Matrix4& a) {
  const float tolerance = 0.001f;
  if (std::fabs(a(3, 3) - 1.0f) > tolerance || std::fabs(a(0, 3)) > tolerance ||
      std::fabs(a(1, 3)) > tolerance || std::fabs(a(2, 3)) > tolerance)
    return kMathInvalidArg;
  const float det = a(0, 0) * (a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1)) -
                    a(0, 1) * (a(1, 0) * a(2, 2) - a(1, 2) * a(2, 0)) +
                    a(0, 2) * (a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0));
  const float inv = 1.0f / det;
  dst(0, 0) = inv * (a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1));
  dst(0, 1) = -inv * (a(0, 1) * a(2, 2) - a(0, 2) * a(2, 1));
  dst(0, 2) = inv * (a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1));
  dst(1, 0) = -inv * (a(1, 0) * a(2, 2) - a(1, 2) * a(2, 0));
  dst(1, 1) = inv * (a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0));
  dst(1, 2) = -inv * (a(0, 0) * a(1, 2) - a(0, 2) * a(1, 0));
  dst(2, 0) = inv * (a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0));
  dst(2, 1) = -inv * (a(0, 0) * a(2, 1) - a(0, 1) * a(2, 0));
  dst(2, 2) = inv * (a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0));
  dst(0, 3) = dst(1, 3) = dst(2, 3) = 0.0f;
  dst(3, 3) = 1.0f;
  for (int j = 0; j < 3; ++j)
    dst(3, j) = -(a(3, 0) * dst(0, j) + a(3, 1) * dst(1, j) + a(3, 2) * dst(2, j));
  return 0;
}
