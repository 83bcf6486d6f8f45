#include "engine/scene/MathKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

namespace {

Matrix4 Sample(float base) {
  Matrix4 m;
  for (int i = 0; i < 16; ++i) m.m[i] = base + 0.37f * static_cast<float>(i) - 0.011f * static_cast<float>(i * i);
  return m;
}

bool SameBits(const Matrix4& a, const Matrix4& b) { return std::memcmp(a.m, b.m, sizeof a.m) == 0; }

void ExpectNear(const Vector3& v, float x, float y, float z, float eps = 1e-6f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

}  // namespace

// Element (r, c) of a x b is row r of a times column c of b, in both orders
// of operands (a transposed product or a swapped order fails one of them).
TEST(MathKit, ProductIsRowsTimesColumns) {
  MathKit kit;
  const Matrix4 a = Sample(1.5f), b = Sample(-2.25f);
  for (const auto& [x, y] : {std::pair{a, b}, std::pair{b, a}}) {
    const Matrix4 p = Multiply(x, y);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) {
        double sum = 0;
        for (int k = 0; k < 4; ++k) sum += double(x(r, k)) * double(y(k, c));
        EXPECT_NEAR(p(r, c), sum, 1e-5 * (1 + std::fabs(sum))) << r << "," << c;
      }
  }
  Matrix4 identity;
  kit.SetIdentity(identity);
  EXPECT_TRUE(SameBits(Multiply(a, identity), a));
  EXPECT_TRUE(SameBits(Multiply(identity, a), a));
  // Row vectors: in a x b, a acts first. A translation then a scale by 2
  // moves the origin to twice the translation.
  Matrix4 t = identity, s = identity;
  t(3, 0) = 1.0f;
  s(0, 0) = 2.0f;
  EXPECT_EQ(Multiply(t, s)(3, 0), 2.0f);
  EXPECT_EQ(Multiply(s, t)(3, 0), 1.0f);
}

TEST(MathKit, RotationAxis) {
  MathKit kit;
  Matrix4 r, identity;
  kit.SetIdentity(identity);
  kit.RotationAxis(r, Vector3(0.3f, -1.0f, 2.0f), 0.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.m[i], identity.m[i]);  // -0 equals 0
  Matrix4 unit, longer;
  kit.RotationAxis(unit, Vector3(0, 1, 0), 0.7f);
  kit.RotationAxis(longer, Vector3(0, 2, 0), 0.7f);
  EXPECT_TRUE(SameBits(unit, longer));
  kit.RotationAxis(r, Vector3(0, 1, 0), 1.5707964f);
  Vector3 v(0, 0, 1);
  EXPECT_EQ(kit.TransformPoint(v, v, r), 0);
  ExpectNear(v, -1.0f, 0.0f, 0.0f);
}

TEST(MathKit, LookAt) {
  MathKit kit;
  Matrix4 m;
  EXPECT_EQ(kit.LookAt(m, Vector3(0, 1, 0), Vector3(0, 1, 1), Vector3(0, 1, 0)), 1);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(m(r, c), r == c ? 1.0f : 0.0f);
  EXPECT_EQ(m(3, 0), 0.0f);
  EXPECT_EQ(m(3, 1), -1.0f);
  EXPECT_EQ(m(3, 2), 0.0f);
  EXPECT_EQ(m(3, 3), 1.0f);
  // The up vector is the y column as given; x = up x z is not normalized.
  kit.LookAt(m, Vector3(0, 0, 0), Vector3(0, 1, 1), Vector3(0, 1, 0));
  EXPECT_EQ(m(0, 1), 0.0f);
  EXPECT_EQ(m(1, 1), 1.0f);
  EXPECT_EQ(m(2, 1), 0.0f);
  EXPECT_NEAR(m(0, 0), 0.7071068f, 1e-7f);
  EXPECT_EQ(m(1, 0), 0.0f);
  EXPECT_EQ(m(2, 0), 0.0f);
}

TEST(MathKit, TransformPointRefusesNearZeroW) {
  MathKit kit;
  Matrix4 m;
  kit.SetIdentity(m);
  Vector3 v(1, 2, 3);
  EXPECT_EQ(kit.TransformPoint(v, v, m), 0);
  ExpectNear(v, 1, 2, 3, 0);
  m(3, 3) = 0.000009f;
  Vector3 src(0, 0, 0), dst(7, 8, 9);
  EXPECT_EQ(kit.TransformPoint(dst, src, m), kMathInvalidArg);
  ExpectNear(dst, 7, 8, 9, 0);
  m(3, 3) = -2.0f;
  EXPECT_EQ(kit.TransformPoint(dst, Vector3(2, 4, 6), m), 0);
  ExpectNear(dst, -1, -2, -3, 0);
}

TEST(MathKit, InvertAffine) {
  MathKit kit;
  Matrix4 src, dst;
  kit.SetIdentity(src);
  src(3, 0) = 1;
  src(3, 1) = 2;
  src(3, 2) = 3;
  ASSERT_EQ(kit.InvertAffine(dst, src), 0);
  EXPECT_EQ(dst(3, 0), -1.0f);
  EXPECT_EQ(dst(3, 1), -2.0f);
  EXPECT_EQ(dst(3, 2), -3.0f);
  EXPECT_EQ(dst(0, 0), 1.0f);

  Matrix4 before = dst;
  src(3, 3) = 1.002f;
  EXPECT_EQ(kit.InvertAffine(dst, src), kMathInvalidArg);
  EXPECT_TRUE(SameBits(dst, before));
  src(3, 3) = 1.0005f;
  EXPECT_EQ(kit.InvertAffine(dst, src), 0);
  EXPECT_EQ(dst(3, 3), 1.0f);
  src(3, 3) = 1.0f;
  src(1, 3) = 0.0011f;
  EXPECT_EQ(kit.InvertAffine(dst, src), kMathInvalidArg);

  // A rotation and translation times its inverse is the identity.
  Matrix4 r;
  kit.RotationAxis(r, Vector3(1, 2, 3), 0.8f);
  r(3, 0) = 5;
  r(3, 1) = -4;
  r(3, 2) = 2;
  ASSERT_EQ(kit.InvertAffine(dst, r), 0);
  Matrix4 p = Multiply(r, dst);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(p(i, j), i == j ? 1.0f : 0.0f, 1e-5f);
}

TEST(MathKit, VectorOperations) {
  const Vector3 n = Normalize(Vector3(3, 0, 4));
  EXPECT_FLOAT_EQ(n.x, 0.6f);
  EXPECT_EQ(n.y, 0.0f);
  EXPECT_FLOAT_EQ(n.z, 0.8f);
  const Vector3 c = Cross(Vector3(0, 1, 0), Vector3(0, 0, 1));
  ExpectNear(c, 1, 0, 0, 0);
  EXPECT_EQ(Dot(Vector3(1, 2, 3), Vector3(4, 5, 6)), 32.0f);
  EXPECT_EQ(Length(Vector3(3, 4, 0)), 5.0f);
}
