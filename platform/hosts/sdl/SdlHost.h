// SdlHost: a real display, keyboard and mouse for the engine (SDL2).
//
// Implemented: one full-screen desktop window for the system's top-level
// window (the monitor's mode is not changed; the presented frame is scaled
// to fit with its aspect kept, nearest filtering, black bars around it);
// frames streamed as an RGB565 texture; keys by scancode into DirectInput
// scan codes; mouse buttons and relative motion while the window has the
// focus (losing it unacquires the devices and frees the cursor); the
// window's close reaching the window procedure as WM_DESTROY through
// DestroyWindow; message boxes as real SDL message boxes.
// Presentation waits for the display's vertical blank when the renderer
// offers it (a software renderer does not): the system paces nothing itself
// and moves a fixed step per frame, so on a fast machine an unpaced loop
// would walk many times faster than on the machines it was made for.
// Not implemented: more than one window, text input, joysticks.
#pragma once

#include <cstdint>
#include <string>

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

  // SDL's video; false with SDL's message.
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
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0, textureHeight_ = 0;
  bool focused_ = false;
};

}  // namespace tarn::hosts
