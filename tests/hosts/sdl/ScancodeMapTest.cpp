// The SDL scancode to DIK table, for the keys the engine reads and their
// keypad look-alikes, which set-1 shares with the arrows.
#include <gtest/gtest.h>

#include <SDL2/SDL_scancode.h>
#include <dinput.h>

#include "platform/hosts/sdl/ScancodeMap.h"

namespace {

TEST(ScancodeMap, TheEngineKeysAndTheirKeypadTwins) {
  using tarn::hosts::DikFromSdlScancode;
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_ESCAPE), DIK_ESCAPE);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_Q), DIK_Q);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_W), DIK_W);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_A), DIK_A);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_S), DIK_S);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_D), DIK_D);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_LSHIFT), DIK_LSHIFT);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_UP), 200);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_DOWN), 208);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_LEFT), 203);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_RIGHT), 205);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_KP_8), DIK_NUMPAD8);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_KP_4), DIK_NUMPAD4);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_KP_6), DIK_NUMPAD6);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_KP_2), DIK_NUMPAD2);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_RSHIFT), DIK_RSHIFT);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(DikFromSdlScancode(-5), 0);
  EXPECT_EQ(DikFromSdlScancode(100000), 0);
}

}  // namespace
