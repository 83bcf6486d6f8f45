// Vector3: three 32-bit floats x, y, z; the layout of the device's D3DVECTOR.
// Default construction leaves the components unset, as the engine's records
// expect to fill them.
#pragma once

#include <cmath>

struct Vector3 {
  float x, y, z;

  Vector3() = default;
  constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  Vector3& operator+=(const Vector3& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
  }
  Vector3& operator-=(const Vector3& b) {
    x -= b.x;
    y -= b.y;
    z -= b.z;
    return *this;
  }
};

inline Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator*(const Vector3& v, float s) { return {s * v.x, s * v.y, s * v.z}; }
// Three divisions, not one reciprocal: the results differ in the last bit.
inline Vector3 operator/(const Vector3& v, float s) { return {v.x / s, v.y / s, v.z / s}; }

inline float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float SquaredLength(const Vector3& v) { return Dot(v, v); }
inline float Length(const Vector3& v) { return std::sqrt(SquaredLength(v)); }
// No guard: a zero vector gives NaNs. Nothing in the engine normalizes one.
inline Vector3 Normalize(const Vector3& v) { return v / Length(v); }
