// WinMain in this process on the headless machine, for what needs the
// layer's failure controls: a device set-up that fails, input devices that
// cannot be opened, a window destroyed while the loop runs.
#include <gtest/gtest.h>

#include <dinput.h>

#include "engine/app/AppGlobals.h"
#include "engine/app/Engine.h"
#include "platform/ddraw/DDrawControl.h"
#include "platform/dinput/InputSeam.h"
#include "platform/hosts/headless/HeadlessHost.h"
#include "programs/EngineRun.h"
#include "tests/common/TempDir.h"

using namespace tarn;

namespace {

// Where the camera stood at the last presented frame.
float presentedCameraZ = 0.0f;

class WinMainTest : public ::testing::Test {
 protected:
  WinMainTest() {
    test::WriteFile("tarn.cfg", "Screen 320 240\n");
    test::WriteFile("exam.map", "End\n");
    options.frames = 3;
    options.virtualClock = true;
    presentedCameraZ = 0.0f;
    ResetAppGlobals();
    ddraw::ResetLayer();
    dinput::ResetMachine();
  }
  ~WinMainTest() override {
    ddraw::SetDisplaySink(nullptr);
    win32::SetHost(nullptr);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    if (MainWindow) DestroyWindow(MainWindow);
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    ResetAppGlobals();
    ddraw::ResetLayer();
    dinput::ResetMachine();
    EXPECT_EQ(dinput::LiveObjects(), 0);
  }
  int Run(hosts::HeadlessHost& host) {
    host.BeginRun();
    return programs::RunEngine(host, [] {
      if (AppEngine && AppEngine->camera) presentedCameraZ = AppEngine->camera->position.z;
    });
  }
  test::TempWorkDir dir;
  hosts::ReplayOptions options;
};

TEST_F(WinMainTest, AFailedDeviceSetUpEndsWithStatus1AfterItsLogLine) {
  ddraw::FailCall("DirectDrawCreateEx", 1, E_FAIL);
  hosts::HeadlessHost host(options, hosts::ReplayScript());
  EXPECT_EQ(Run(host), 1);
  EXPECT_EQ(host.FramesPresented(), 0);
  const std::string log = test::ReadFile("Tarn.log");
  EXPECT_EQ(log.rfind("Error: DrawCreate\n", 0), 0u) << log;
  EXPECT_EQ(ddraw::LiveObjects(), 0);
}

TEST_F(WinMainTest, InputThatCannotBeOpenedShowsItsBoxAndTheProgramGoesOn) {
  dinput::FailNext(dinput::Call::CreateDevice, dinput::Kind::Mouse, E_FAIL);
  hosts::ReplayScript script;
  std::string error;
  const std::string text = "0-2 W\n";
  ASSERT_TRUE(script.Parse(text.data(), text.size(), error));
  hosts::HeadlessHost host(options, std::move(script));
  EXPECT_EQ(Run(host), 0);
  EXPECT_EQ(host.MessageBoxes(), 1);
  EXPECT_EQ(host.FramesPresented(), 3);
  EXPECT_FLOAT_EQ(presentedCameraZ, 0.0f);  // the keyboard went with the failed set-up
  EXPECT_EQ(ddraw::LiveObjects(), 0);
}

TEST_F(WinMainTest, ADestroyedWindowEndsTheLoopWithStatus0) {
  options.frames = 1000;
  hosts::HeadlessHost host(options, hosts::ReplayScript());
  // The window goes away while the loop runs: after the second frame.
  class Destroyer : public ddraw::DisplaySink {
   public:
    explicit Destroyer(hosts::HeadlessHost& h) : host(h) {}
    void Present(const std::uint16_t* p, int pitch, int w, int h) override {
      host.FramePresented(p, pitch, w, h);
      if (host.FramesPresented() == 2) DestroyWindow(MainWindow);
    }
    hosts::HeadlessHost& host;
  } sink(host);
  win32::SetHost(&host);
  ddraw::SetDisplaySink(&sink);
  host.BeginRun();
  char commandLine[] = "";
  EXPECT_EQ(WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL), 0);
  EXPECT_EQ(host.FramesPresented(), 2);
  MainWindow = nullptr;
}

}  // namespace
