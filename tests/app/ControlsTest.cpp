// InputDevices: creation and its failure boxes, polling, and the control
// mapping onto the camera and the switches.
#include <dinput.h>
#include <gtest/gtest.h>

#include <cmath>

#include "engine/app/AppGlobals.h"
#include "engine/app/InputDevices.h"
#include "engine/scene/Camera.h"
#include "engine/scene/RenderSwitches.h"
#include "tests/common/TestMachine.h"

using namespace tarn;

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  ControlsTest() { ResetControlGlobals(); }
  ~ControlsTest() override {
    input.reset();
    EXPECT_EQ(dinput::LiveObjects(), 0);
    ResetControlGlobals();
  }
  void Frame() {
    input->ApplyControls(camera, switches);
    dinput::ReleaseAll();
  }
  void Hold(int dik) { dinput::SetKey(dik, true); }

  test::ShellFixture shell;
  std::unique_ptr<InputDevices> input = std::make_unique<InputDevices>();
  Camera camera;
  RenderSwitches switches;
};

TEST_F(ControlsTest, CreateOpensAndAcquiresBothDevicesAndTheDestructorReleasesThem) {
  ASSERT_EQ(input->Create(shell.window, 1, 1), 1);
  EXPECT_EQ(dinput::LiveObjects(), 3);
  EXPECT_EQ(dinput::AcquiredDevices(dinput::Kind::Keyboard), 1);
  EXPECT_EQ(dinput::AcquiredDevices(dinput::Kind::Mouse), 1);
  EXPECT_TRUE(shell.host.boxes.empty());
}

struct FailureCase {
  dinput::Call call;
  dinput::Kind kind;
  const char* text;
};

TEST_F(ControlsTest, EachFailureShowsItsBoxReleasesEverythingAndLeavesTheControlsUp) {
  const FailureCase cases[] = {
      {dinput::Call::Create, dinput::Kind::Any, "DirectInputCreate() failed"},
      {dinput::Call::CreateDevice, dinput::Kind::Keyboard, "CreateDevice() failed : KeyBoard"},
      {dinput::Call::SetDataFormat, dinput::Kind::Keyboard, "SetDataFormat() failed : KeyBoard"},
      {dinput::Call::SetCooperativeLevel, dinput::Kind::Keyboard, "SetCooperativeLevel() failed : KeyBoard"},
      {dinput::Call::CreateDevice, dinput::Kind::Mouse, "CreateDevice() failed : Mouse"},
      {dinput::Call::SetDataFormat, dinput::Kind::Mouse, "SetDataFormat() faield : Mouse"},
      {dinput::Call::SetCooperativeLevel, dinput::Kind::Mouse, "SetCooperativeLevel() failed : Mouse"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.text);
    shell.host.boxes.clear();
    auto devices = std::make_unique<InputDevices>();
    dinput::FailNext(c.call, c.kind, E_FAIL);
    EXPECT_EQ(devices->Create(shell.window, 1, 1), 0);
    ASSERT_EQ(shell.host.boxes.size(), 1u);
    EXPECT_EQ(shell.host.boxes[0].text, c.text);
    EXPECT_EQ(shell.host.boxes[0].caption, "f_Input");
    EXPECT_EQ(shell.host.boxes[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(devices->directInput, nullptr);
    EXPECT_EQ(devices->keyboard, nullptr);
    EXPECT_EQ(devices->mouse, nullptr);
    EXPECT_EQ(dinput::LiveObjects(), 0);
    // The program goes on: polls read nothing, every control is up.
    dinput::SetKey(DIK_W, true);
    dinput::SetButton(0, true);
    dinput::AddMotion(10, 0);
    devices->Poll();
    EXPECT_EQ(devices->KeyDown(DIK_W), 0);
    EXPECT_EQ(devices->MouseButtonDown(0), 0);
    EXPECT_EQ(devices->mouseX, 0);
    dinput::ReleaseAll();
  }
}

TEST_F(ControlsTest, DevicesNotRequestedReadAsUp) {
  ASSERT_EQ(input->Create(shell.window, 0, 0), 1);
  EXPECT_EQ(dinput::LiveObjects(), 1);
  Hold(DIK_ESCAPE);
  dinput::SetButton(1, true);
  dinput::AddMotion(25, 0);
  input->Poll();
  EXPECT_EQ(input->KeyDown(DIK_ESCAPE), 0);
  EXPECT_EQ(input->MouseButtonDown(1), 0);
  EXPECT_EQ(input->mouseX, 0);
  EXPECT_EQ(input->KeyDown(-1), 0);
  EXPECT_EQ(input->MouseButtonDown(7), 0);
}

class MappingTest : public ControlsTest {
 protected:
  void SetUp() override { ASSERT_EQ(input->Create(shell.window, 1, 1), 1); }
};

TEST_F(MappingTest, MovementAmountsPerFrame) {
  for (int i = 0; i < 10; ++i) Hold(DIK_W), Frame();
  EXPECT_NEAR(camera.position.z, 1.0f, 1e-5f);
  EXPECT_FLOAT_EQ(camera.position.x, 0.0f);

  const float z = camera.position.z;
  Hold(DIK_W), dinput::SetButton(1, true), Frame();
  EXPECT_NEAR(camera.position.z - z, 3.6f, 1e-5f);

  Hold(DIK_UP), dinput::SetButton(1, true), Frame();
  EXPECT_NEAR(camera.position.y, 5.5f, 1e-5f);  // 1 + 4.5

  const Vector3 before = camera.position;
  Hold(DIK_W), Hold(DIK_S), Frame();
  EXPECT_NEAR(camera.position.z, before.z, 1e-5f);

  Hold(DIK_D), Frame();
  EXPECT_NEAR(camera.position.x, 0.1f, 1e-6f);
  Hold(DIK_LEFT), dinput::SetButton(1, true), Frame();
  EXPECT_NEAR(camera.position.x, 0.1f - 3.6f, 1e-5f);
  Hold(DIK_DOWN), Frame();
  EXPECT_NEAR(camera.position.z, before.z - 0.1f, 1e-5f);

  // A step after a turn goes where the camera now looks: +10 counts yaw by
  // -0.1047198, to the right.
  Camera fresh;
  camera.position = fresh.position, camera.lookAt = fresh.lookAt;
  dinput::AddMotion(10, 0), Frame();
  Hold(DIK_W), Frame();
  EXPECT_NEAR(camera.position.x, 0.1 * std::sin(0.1047198), 1e-6f);
  EXPECT_NEAR(camera.position.y, 1.0f, 1e-6f);
  EXPECT_NEAR(camera.position.z, 0.1 * std::cos(0.1047198), 1e-6f);
}

TEST_F(MappingTest, MouseMotionYawsAndZoomChangesTheScaleFromTheNextFrame) {
  dinput::AddMotion(10, 0), Frame();
  Camera expected;
  expected.Yaw(-0.1047198f);
  EXPECT_NEAR(camera.lookAt.x, expected.lookAt.x, 1e-6f);
  EXPECT_NEAR(camera.lookAt.z, expected.lookAt.z, 1e-6f);
  EXPECT_GT(camera.lookAt.x, 0.0f);  // turned to the right

  // The frame Left Shift goes down still turns at 0.6 degrees per count.
  Camera fresh;
  camera.lookAt = fresh.lookAt, camera.position = fresh.position;
  Hold(DIK_LSHIFT), dinput::AddMotion(60, 0), Frame();
  EXPECT_EQ(camera.fieldOfView, kFieldOfViewZoom);
  EXPECT_FLOAT_EQ(MouseTurnScale, 0.016666668f);
  const float turned = std::atan2(-camera.lookAt.x, camera.lookAt.z - camera.position.z);
  EXPECT_NEAR(turned, -60 * 0.6 * M_PI / 180, 1e-5);
  // The next frame turns at 1/60 degree per count.
  camera.lookAt = fresh.lookAt;
  Hold(DIK_LSHIFT), dinput::AddMotion(60, 0), Frame();
  const float slow = std::atan2(-camera.lookAt.x, camera.lookAt.z - camera.position.z);
  EXPECT_NEAR(slow, -1.0 * M_PI / 180, 1e-5);
  Frame();
  EXPECT_EQ(camera.fieldOfView, kFieldOfViewNormal);
  EXPECT_FLOAT_EQ(MouseTurnScale, 0.6f);
}

TEST_F(MappingTest, GlyphsWireframeAndEscape) {
  Frame();
  EXPECT_STREQ(StatusText, glyph::kCircle);
  EXPECT_STREQ(CentreMark, glyph::kBullseye);
  EXPECT_EQ(StatusLock, 1);
  dinput::SetButton(0, true), Hold(DIK_W), Hold(DIK_A), Frame();
  EXPECT_STREQ(StatusText, glyph::kFilledCircle);
  EXPECT_STREQ(CentreMark, glyph::kCircledDot);

  Hold(DIK_Q), Frame();
  EXPECT_EQ(switches.wireframe, 1);
  Frame();
  EXPECT_EQ(switches.wireframe, 0);

  EXPECT_EQ(QuitRequested, 0);
  Hold(DIK_ESCAPE), Frame();
  EXPECT_EQ(QuitRequested, 1);
}

TEST_F(MappingTest, KeysHeldWhenTheWindowLosesFocusStopActing) {
  dinput::SetKey(DIK_W, true);
  input->ApplyControls(camera, switches);
  const float z = camera.position.z;
  dinput::SetForeground(false);
  input->ApplyControls(camera, switches);  // W is still physically down
  EXPECT_FLOAT_EQ(camera.position.z, z);
  dinput::SetForeground(true);
  input->ApplyControls(camera, switches);
  EXPECT_GT(camera.position.z, z);
}

}  // namespace
