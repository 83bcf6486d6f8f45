// SdlHost: a real display, keyboard and mouse for the engine (SDL2).
//
// Implemented: one full-screen desktop window for the system's top-level
// window (the monitor's mode is not changed): it is made the size of the
// display at the display's corner, so it covers the screen also where no
// window manager honours the full-screen request (a kiosk, a bare X session,
// Xvfb); the presented frame is scaled to fit, aspect kept, centred, black
// bars around it (FrameFit.h: picked pixels when enlarged, averaged areas
// when shrunk);
// frames streamed as an RGB565 texture; keys by scancode into DirectInput
// scan codes; mouse buttons and relative motion while the window has the
// focus (losing it unacquires the devices and frees the cursor); the
// window's close reaching the window procedure as WM_DESTROY through
// DestroyWindow; message boxes as real SDL message boxes.
// Presentation waits for the display's vertical blank when the renderer
// offers it (a software renderer does not): the system paces nothing itself
// and moves a fixed step per frame, so on a fast machine an unpaced loop
// would walk many times faster than on the machines it was made for.
// SIGINT, SIGTERM and SIGHUP (those not ignored at the start) close the
// window as the window manager's close does, so the program ends through its
// quit path; the host holds them, not SDL (platform/hosts/signals).
// Not implemented: more than one window, text input, joysticks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/hosts/sdl/FrameFit.h"
#include "platform/hosts/signals/QuitSignals.h"
#include "platform/win32/Host.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace tarn::hosts {

class SdlHost : public win32::Host {
 public:
  SdlHost() = default;
  ~SdlHost() override;
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  // SDL's video on a real display; false with the reason when none can be
  // opened. SDL's stand-in drivers without a screen (offscreen, dummy) count
  // as no display unless SDL_VIDEODRIVER asks for them.
  bool Start(std::string& error);
  // A frame reached the primary surface.
  void FramePresented(const std::uint16_t* pixels, int pitchBytes, int width, int height);

  void WindowCreated(HWND, const std::string& title, int x, int y, int width, int height, DWORD style) override;
  void WindowShown(HWND, int command) override;
  void WindowDestroyed(HWND) override;
  void PumpEvents(int waitMilliseconds) override;
  int MessageBox(HWND, const std::string& text, const std::string& caption, UINT type) override;

 private:
  void Focus(bool gained);
  void CloseWindow();

  bool started_ = false;
  HWND hwnd_ = nullptr;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  // The frame as it reaches the screen: 5-6-5 at the frame's size, or
  // 0x00RRGGBB at the shrunk size.
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  bool textureShrunk_ = false;
  AreaShrinker shrinker_;
  std::vector<std::uint32_t> shrunk_;
  bool focused_ = false;
  QuitSignals signals_{QuitSignals::Ending::kQuitPath};
};

}  // namespace tarn::hosts
