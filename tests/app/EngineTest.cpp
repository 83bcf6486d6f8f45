// The Engine record: its starting state and the camera steps of a frame.
#include <gtest/gtest.h>

#include "engine/app/Engine.h"
#include "tests/scene/RecordingDevice.h"

namespace {

TEST(Engine, StartsWithNoStatisticsWhiteTextAndNoInterfaces) {
  Engine engine;
  EXPECT_EQ(engine.framesPerSecond, 0.0f);
  EXPECT_EQ(engine.frameCount, 0);
  EXPECT_EQ(engine.lastTick, 0u);
  EXPECT_EQ(engine.textColour, 0x00FFFFFFu);
  EXPECT_EQ(engine.device, nullptr);
  EXPECT_EQ(engine.renderTarget, nullptr);
  EXPECT_EQ(engine.camera, nullptr);
}

TEST(Engine, ANewFieldOfViewReachesTheDeviceOneFrameLater) {
  Engine engine;
  RecordingDevice device;
  engine.device = &device;
  engine.camera = std::make_unique<Camera>();

  // The projections' values are the camera's own (tests/scene); here only
  // which of the two the device holds, and when.
  Camera zoomed;
  zoomed.fieldOfView = kFieldOfViewZoom;
  zoomed.BuildProjectionMatrix();
  const float normal = Camera().projection(0, 0);
  ASSERT_NE(normal, zoomed.projection(0, 0));

  engine.UpdateCameraTransforms();  // frame 0, normal view
  EXPECT_EQ(device.Transform(D3DTRANSFORMSTATE_PROJECTION)._11, normal);

  engine.camera->fieldOfView = kFieldOfViewZoom;  // Left Shift in frame 1's controls
  engine.UpdateCameraTransforms();
  EXPECT_EQ(device.Transform(D3DTRANSFORMSTATE_PROJECTION)._11, normal);
  engine.UpdateCameraTransforms();  // frame 2
  EXPECT_EQ(device.Transform(D3DTRANSFORMSTATE_PROJECTION)._11, zoomed.projection(0, 0));

  // The view is applied in the frame of the move.
  engine.camera->MoveForward(2.0f);
  engine.UpdateCameraTransforms();
  EXPECT_NEAR(device.Transform(D3DTRANSFORMSTATE_VIEW)._43, -2.0f, 1e-5f);
  engine.device = nullptr;  // not ours to release
}

}  // namespace
