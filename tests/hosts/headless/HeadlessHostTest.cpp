// The scripted machine: input per frame, the virtual clock, the quit after
// the last frame, and the pictures it writes.
#define DIRECTINPUT_VERSION 0x0700  // DirectInputCreateA is a DirectX 7 entry
#include <gtest/gtest.h>

#include <dinput.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/dinput/InputSeam.h"
#include "platform/hosts/headless/HeadlessHost.h"
#include "tests/common/Replay.h"
#include "tests/common/TestMachine.h"

using namespace tarn;

namespace {

hosts::ReplayScript Script(const std::string& text) {
  hosts::ReplayScript s;
  std::string error;
  EXPECT_TRUE(s.Parse(text.data(), text.size(), error)) << error;
  return s;
}

// Reads the keyboard and mouse as the engine would, one poll per frame.
struct Poller {
  explicit Poller(HWND window) {
    DirectInputCreateA(nullptr, 0x0700, &di, nullptr);
    di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr);
    keyboard->SetDataFormat(&c_dfDIKeyboard);
    keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    di->CreateDevice(GUID_SysMouse, &mouse, nullptr);
    mouse->SetDataFormat(&c_dfDIMouse);
    mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  }
  ~Poller() {
    keyboard->Release();
    mouse->Release();
    di->Release();
  }
  void Poll() {
    keyboard->Acquire();
    keyboard->GetDeviceState(sizeof keys, keys);
    mouse->Acquire();
    mouse->GetDeviceState(sizeof state, &state);
  }
  IDirectInputA* di = nullptr;
  IDirectInputDeviceA *keyboard = nullptr, *mouse = nullptr;
  BYTE keys[256]{};
  DIMOUSESTATE state{};
};

bool QuitWaits() {
  MSG m;
  return PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE) && m.message == WM_QUIT;
}

TEST(HeadlessHost, FeedsEachFrameItsInputAndQuitsAfterTheLastFrame) {
  test::ShellFixture shell;
  hosts::ReplayOptions options;
  options.virtualClock = true;
  options.millisecondsPerFrame = 20;
  hosts::HeadlessHost host(options, Script("0-1 W\n1 dx=10 rmb\n3 dik=57 dx=-4\n"));
  win32::SetHost(&host);
  EXPECT_EQ(host.FramesToDraw(), 4);
  std::vector<std::uint16_t> frame(4 * 2, 0xFFFF);
  host.BeginRun();
  // The devices open after the run began, as start-up opens them.
  Poller input(shell.window);
  struct Expect {
    bool w, space, rmb;
    LONG dx;
  } frames[] = {{true, false, false, 0}, {true, false, true, 10}, {false, false, false, 0}, {false, true, false, -4}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GetTickCount(), static_cast<DWORD>(20 * i));
    input.Poll();  // before the loop looks at the queue: nothing yet
    EXPECT_EQ(input.keys[DIK_W], 0);
    host.PumpEvents(0);
    input.Poll();
    EXPECT_EQ(input.keys[DIK_W] != 0, frames[i].w);
    EXPECT_EQ(input.keys[DIK_SPACE] != 0, frames[i].space);
    EXPECT_EQ(input.state.rgbButtons[1] != 0, frames[i].rmb);
    EXPECT_EQ(input.state.lX, frames[i].dx);
    EXPECT_FALSE(QuitWaits());
    host.FramePresented(frame.data(), 8, 4, 2);
  }
  EXPECT_TRUE(QuitWaits());
  EXPECT_EQ(host.FramesPresented(), 4);
  EXPECT_DOUBLE_EQ(host.Seconds(), 0.08);
  win32::SetHost(&shell.host);
}

TEST(HeadlessHost, WritesTheLastFrameAndEveryKthFrame) {
  test::ShellFixture shell;
  test::TempWorkDir dir;
  hosts::ReplayOptions options;
  options.frames = 5;
  options.shotPath = "last.png";
  options.shotsDir = "shots";
  options.every = 2;
  {
    std::ofstream old("last.png");
    old << "an older shot";
  }
  hosts::HeadlessHost host(options, hosts::ReplayScript());
  win32::SetHost(&host);
  host.BeginRun();
  // 3 x 2 pixels with a pitch wider than the row; frame i is red level i.
  std::vector<std::uint16_t> pixels(5 * 2);
  for (int i = 0; i < 5; ++i) {
    for (auto& p : pixels) p = static_cast<std::uint16_t>((i * 4) << 11);
    pixels[1] = 0xFFFF;  // one white pixel at (1, 0)
    host.FramePresented(pixels.data(), 10, 3, 2);
  }
  std::string error;
  ASSERT_TRUE(host.Finish(error)) << error;
  win32::SetHost(&shell.host);

  test::Picture last;
  ASSERT_TRUE(test::ReadPng("last.png", last));
  EXPECT_EQ(last.width, 3);
  EXPECT_EQ(last.height, 2);
  EXPECT_EQ(last.At(0, 0)[0], (16 << 3) | (16 >> 2));
  EXPECT_EQ(last.At(1, 0)[0], 255);
  EXPECT_EQ(last.At(1, 0)[1], 255);
  EXPECT_EQ(last.At(0, 1)[1], 0);
  for (const char* name : {"shots/frame-000000.png", "shots/frame-000002.png", "shots/frame-000004.png"})
    EXPECT_TRUE(std::filesystem::exists(name)) << name;
  EXPECT_FALSE(std::filesystem::exists("shots/frame-000001.png"));
  // Each picture went in whole under its name: no temporary stays beside it.
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(".")) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"last.png", "shots"}));
}

TEST(HeadlessHost, AShotWithoutAFrameOrAnUnwritablePathIsAnError) {
  test::ShellFixture shell;
  hosts::ReplayOptions options;
  options.shotPath = "/nonexistent-folder/x.png";
  hosts::HeadlessHost host(options, hosts::ReplayScript());
  std::string error;
  EXPECT_FALSE(host.Finish(error));
  EXPECT_NE(error.find("nothing to write"), std::string::npos);
  std::uint16_t pixel = 0;
  host.FramePresented(&pixel, 2, 1, 1);
  EXPECT_FALSE(host.Finish(error));
  EXPECT_NE(error.find("/nonexistent-folder/x.png"), std::string::npos);

  // A folder under the shot's name is refused and kept as it was.
  test::TempWorkDir dir;
  std::filesystem::create_directory("x.png");
  { std::ofstream("x.png/keep") << "kept"; }
  hosts::ReplayOptions intoFolder;
  intoFolder.shotPath = "x.png";
  hosts::HeadlessHost second(intoFolder, hosts::ReplayScript());
  second.FramePresented(&pixel, 2, 1, 1);
  EXPECT_FALSE(second.Finish(error));
  EXPECT_NE(error.find("x.png"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_regular_file("x.png/keep"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 1);
}

}  // namespace
