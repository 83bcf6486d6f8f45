// The DirectInput stand-in as the engine polls it.
#define DIRECTINPUT_VERSION 0x0700  // DirectInputCreateA is a DirectX 7 entry
#include <dinput.h>
#include <gtest/gtest.h>

#include "tests/common/TestMachine.h"

using namespace tarn;

namespace {

class DirectInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, &di, nullptr), DI_OK); }
  void TearDown() override {
    if (di) di->Release();
    EXPECT_EQ(dinput::LiveObjects(), 0);
  }
  IDirectInputDeviceA* Open(const GUID& which, const DIDATAFORMAT& format) {
    IDirectInputDeviceA* d = nullptr;
    EXPECT_EQ(di->CreateDevice(which, &d, nullptr), DI_OK);
    EXPECT_EQ(d->SetDataFormat(&format), DI_OK);
    EXPECT_EQ(d->SetCooperativeLevel(shell.window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    return d;
  }
  test::ShellFixture shell;
  IDirectInputA* di = nullptr;
};

TEST_F(DirectInputTest, KeyboardReadsHeldKeysOnlyWhileAcquired) {
  IDirectInputDeviceA* kb = Open(GUID_SysKeyboard, c_dfDIKeyboard);
  BYTE keys[256];
  EXPECT_EQ(kb->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
  ASSERT_EQ(kb->Acquire(), DI_OK);
  EXPECT_EQ(kb->Acquire(), DI_NOEFFECT);
  dinput::SetKey(DIK_W, true);
  dinput::SetKey(DIK_UP, true);
  dinput::SetKey(300, true);  // out of range: ignored
  ASSERT_EQ(kb->GetDeviceState(256, keys), DI_OK);
  EXPECT_EQ(keys[DIK_W], 0x80);
  EXPECT_EQ(keys[DIK_UP], 0x80);
  EXPECT_EQ(keys[DIK_S], 0);
  EXPECT_EQ(kb->GetDeviceState(16, keys), DIERR_INVALIDPARAM);
  EXPECT_EQ(kb->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
  kb->Release();
}

TEST_F(DirectInputTest, MouseMotionIsRelativeToThePreviousRead) {
  IDirectInputDeviceA* m = Open(GUID_SysMouse, c_dfDIMouse);
  dinput::AddMotion(50, 50);  // before acquisition: dropped
  ASSERT_EQ(m->Acquire(), DI_OK);
  dinput::AddMotion(10, -3);
  dinput::AddMotion(5, 0, 120);
  dinput::SetButton(1, true);
  DIMOUSESTATE s{};
  ASSERT_EQ(m->GetDeviceState(sizeof s, &s), DI_OK);
  EXPECT_EQ(s.lX, 15);
  EXPECT_EQ(s.lY, -3);
  EXPECT_EQ(s.lZ, 120);
  EXPECT_EQ(s.rgbButtons[0], 0);
  EXPECT_EQ(s.rgbButtons[1], 0x80);
  ASSERT_EQ(m->GetDeviceState(sizeof s, &s), DI_OK);
  EXPECT_EQ(s.lX, 0);
  EXPECT_EQ(s.lY, 0);
  // A huge motion saturates instead of wrapping.
  dinput::AddMotion(2000000000, 0);
  dinput::AddMotion(2000000000, 0);
  ASSERT_EQ(m->GetDeviceState(sizeof s, &s), DI_OK);
  EXPECT_EQ(s.lX, INT32_MAX);
  m->Release();
}

TEST_F(DirectInputTest, LosingTheForegroundUnacquiresAndReadsAllUp) {
  IDirectInputDeviceA* kb = Open(GUID_SysKeyboard, c_dfDIKeyboard);
  ASSERT_EQ(kb->Acquire(), DI_OK);
  dinput::SetKey(DIK_W, true);
  dinput::SetForeground(false);
  EXPECT_EQ(dinput::AcquiredDevices(dinput::Kind::Keyboard), 0);
  EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
  BYTE keys[256];
  keys[DIK_W] = 0x80;
  EXPECT_EQ(kb->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
  EXPECT_EQ(keys[DIK_W], 0);  // a held key does not stay held
  dinput::SetForeground(true);
  ASSERT_EQ(kb->Acquire(), DI_OK);
  ASSERT_EQ(kb->GetDeviceState(256, keys), DI_OK);
  EXPECT_EQ(keys[DIK_W], 0x80);
  kb->Release();
}

TEST_F(DirectInputTest, RefusesBadCalls) {
  IDirectInputA* other = nullptr;
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0800, &other, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, nullptr, nullptr), DIERR_INVALIDPARAM);

  IDirectInputDeviceA* d = reinterpret_cast<IDirectInputDeviceA*>(1);
  const GUID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(di->CreateDevice(unknown, &d, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(d, nullptr);

  ASSERT_EQ(di->CreateDevice(GUID_SysMouse, &d, nullptr), DI_OK);
  EXPECT_EQ(d->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);  // wrong size for a mouse
  EXPECT_EQ(d->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(d->Acquire(), DIERR_INVALIDPARAM);  // no format yet
  EXPECT_EQ(d->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(d->SetCooperativeLevel(shell.window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(d->SetCooperativeLevel(shell.window, DISCL_EXCLUSIVE), DIERR_INVALIDPARAM);
  d->Release();
}

TEST_F(DirectInputTest, ArmedFailuresHitTheNamedCallOnce) {
  dinput::FailNext(dinput::Call::CreateDevice, dinput::Kind::Mouse, E_FAIL);
  IDirectInputDeviceA* d = nullptr;
  ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &d, nullptr), DI_OK);  // other kind: not hit
  d->Release();
  EXPECT_EQ(di->CreateDevice(GUID_SysMouse, &d, nullptr), E_FAIL);
  ASSERT_EQ(di->CreateDevice(GUID_SysMouse, &d, nullptr), DI_OK);
  d->Release();
}

}  // namespace
