#include "engine/scene/Camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/scene/RecordingDevice.h"

namespace {
void ExpectVec(const Vector3& v, float x, float y, float z, float eps = 1e-6f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}
constexpr float kHalfPi = 1.5707964f;
}  // namespace

TEST(Camera, NewCameraMatrices) {
  Camera camera;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float want = r == c ? 1.0f : 0.0f;
      if (r == 3 && c == 1) want = -1.0f;
      EXPECT_EQ(camera.view(r, c), want) << r << "," << c;
    }
  const Matrix4& p = camera.projection;
  EXPECT_FLOAT_EQ(p(0, 0), 1.8106601f);
  EXPECT_FLOAT_EQ(p(1, 1), 2.4142134f);
  EXPECT_FLOAT_EQ(p(2, 2), 1.0001000f);
  EXPECT_EQ(p(2, 3), 1.0f);
  EXPECT_FLOAT_EQ(p(3, 2), -1.0001000f);
  int zeros = 0;
  for (float e : p.m) zeros += e == 0.0f;
  EXPECT_EQ(zeros, 11);
  EXPECT_EQ(camera.aspect, 0.75f);
  uint32_t bits;
  std::memcpy(&bits, &camera.fieldOfView, 4);
  EXPECT_EQ(bits, 0x3F490FDBu);
}

TEST(Camera, ZoomedProjection) {
  Camera camera;
  camera.fieldOfView = kFieldOfViewZoom;
  camera.BuildProjectionMatrix();
  EXPECT_NEAR(camera.projection(0, 0), 11.442788f, 2e-6f);
  EXPECT_NEAR(camera.projection(1, 1), 15.257051f, 2e-6f);
}

TEST(Camera, Moves) {
  Camera a;
  a.MoveForward(0.1f);
  ExpectVec(a.position, 0, 1, 0.1f);
  ExpectVec(a.lookAt, 0, 1, 1.1f);
  Camera b;
  b.MoveForward(-3.6f);
  ExpectVec(b.position, 0, 1, -3.6f);
  Camera c;
  c.Strafe(-0.1f);
  ExpectVec(c.position, -0.1f, 1, 0);
  ExpectVec(c.lookAt, -0.1f, 1, 1);
  Camera d;
  d.Rise(4.5f);
  ExpectVec(d.position, 0, 5.5f, 0);
  ExpectVec(d.lookAt, 0, 5.5f, 1);
}

TEST(Camera, Turns) {
  Camera a;
  a.Yaw(kHalfPi);
  ExpectVec(a.position, 0, 1, 0);
  ExpectVec(a.lookAt, -1, 1, 0);
  ExpectVec(a.up, 0, 1, 0);
  a.MoveForward(1.0f);
  ExpectVec(a.position, -1, 1, 0, 1e-5f);

  Camera b;
  for (int i = 0; i < 4; ++i) b.Yaw(kHalfPi);
  ExpectVec(b.lookAt, 0, 1, 1, 1e-5f);

  Camera c;
  c.Pitch(kHalfPi);
  ExpectVec(c.lookAt, 0, 2, 0);
  ExpectVec(c.up, 0, 0, -1);

  Camera d;
  d.Roll(kHalfPi);
  ExpectVec(d.lookAt, 0, 1, 1);
  EXPECT_NEAR(std::fabs(d.up.x), 1.0f, 1e-6f);

  // A small yaw as the mouse gives it: +10 counts turn by -0.1047198.
  Camera e;
  e.Yaw(-0.1047198f);
  EXPECT_NEAR(e.lookAt.x, std::sin(0.1047198f), 1e-6f);
  EXPECT_NEAR(e.lookAt.z, std::cos(0.1047198f), 1e-6f);
}

TEST(Camera, MatricesReachTheDevice) {
  Camera camera;
  RecordingDevice device;
  camera.MoveForward(2.0f);
  camera.BuildViewMatrix();
  camera.ApplyView(&device);
  camera.ApplyProjection(&device);
  auto sets = device.Named("SetTransform");
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].what, static_cast<DWORD>(D3DTRANSFORMSTATE_VIEW));
  EXPECT_EQ(sets[0].matrix._43, -2.0f);
  EXPECT_EQ(sets[1].what, static_cast<DWORD>(D3DTRANSFORMSTATE_PROJECTION));
  // The projection goes over as the camera holds it, row by row, every entry.
  float sent[16];
  static_assert(sizeof sent == sizeof sets[1].matrix);
  std::memcpy(sent, &sets[1].matrix, sizeof sent);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(sent[i], camera.projection.m[i]) << i;
}

TEST(Camera, NoBounds) {
  Camera camera;
  camera.MoveForward(1e9f);
  EXPECT_GT(camera.position.z, 9e8f);
}
