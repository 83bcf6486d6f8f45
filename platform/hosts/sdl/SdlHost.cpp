// The SDL2 machine under the engine.
#include "platform/hosts/sdl/SdlHost.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>

#include <windows.h>

#include "platform/dinput/InputSeam.h"
#include "platform/hosts/sdl/ScancodeMap.h"

namespace tarn::hosts {
namespace {

int ButtonIndex(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    default: return -1;
  }
}

}  // namespace

SdlHost::~SdlHost() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  if (started_) SDL_Quit();
}

bool SdlHost::Start(std::string& error) {
  // Mouse counts as the device gives them, not scaled by the presentation.
  SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_SCALING, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = std::string("cannot open the display: ") + SDL_GetError();
    return false;
  }
  started_ = true;
  return true;
}

void SdlHost::WindowCreated(HWND hwnd, const std::string& title, int, int, int, int, DWORD) {
  if (window_ != nullptr) return;  // one window: the engine makes only one
  hwnd_ = hwnd;
  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 800, 600,
                             SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) {
    std::fprintf(stderr, "tarnview: cannot create a window: %s\n", SDL_GetError());
    return;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) std::fprintf(stderr, "tarnview: cannot draw into the window: %s\n", SDL_GetError());
}

void SdlHost::WindowShown(HWND hwnd, int command) {
  if (hwnd != hwnd_ || window_ == nullptr) return;
  if (command == SW_HIDE) {
    SDL_HideWindow(window_);
  } else {
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
  }
}

void SdlHost::WindowDestroyed(HWND hwnd) {
  if (hwnd != hwnd_) return;
  hwnd_ = nullptr;
  Focus(false);
  if (texture_) SDL_DestroyTexture(texture_), texture_ = nullptr;
  if (renderer_) SDL_DestroyRenderer(renderer_), renderer_ = nullptr;
  if (window_) SDL_DestroyWindow(window_), window_ = nullptr;
}

void SdlHost::Focus(bool gained) {
  if (gained == focused_) return;
  focused_ = gained;
  dinput::SetForeground(gained);
  if (!gained) dinput::ReleaseAll();
  // Relative mode may be missing (some drivers); then motion still arrives
  // as absolute events with their relative part.
  SDL_SetRelativeMouseMode(gained ? SDL_TRUE : SDL_FALSE);
  if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_ACTIVATEAPP, gained ? 1 : 0, 0);
}

void SdlHost::CloseWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);  // WM_DESTROY reaches the window procedure
}

void SdlHost::PumpEvents(int waitMilliseconds) {
  if (!started_) return;
  SDL_Event event;
  bool have = waitMilliseconds > 0 ? SDL_WaitEventTimeout(&event, waitMilliseconds) != 0 : SDL_PollEvent(&event) != 0;
  while (have) {
    switch (event.type) {
      case SDL_QUIT:
        CloseWindow();
        break;
      case SDL_WINDOWEVENT:
        switch (event.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED: Focus(true); break;
          case SDL_WINDOWEVENT_FOCUS_LOST: Focus(false); break;
          case SDL_WINDOWEVENT_CLOSE: CloseWindow(); break;
          default: break;
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (event.key.repeat == 0) {
          if (int dik = DikFromSdlScancode(event.key.keysym.scancode); dik != 0)
            dinput::SetKey(dik, event.type == SDL_KEYDOWN);
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        dinput::SetButton(ButtonIndex(event.button.button), event.type == SDL_MOUSEBUTTONDOWN);
        break;
      case SDL_MOUSEMOTION:
        if (focused_) dinput::AddMotion(event.motion.xrel, event.motion.yrel);
        break;
      case SDL_MOUSEWHEEL:
        if (focused_) dinput::AddMotion(0, 0, event.wheel.y * 120);
        break;
      default:
        break;
    }
    have = SDL_PollEvent(&event) != 0;
  }
}

void SdlHost::FramePresented(const std::uint16_t* pixels, int pitchBytes, int width, int height) {
  if (renderer_ == nullptr || pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 2) return;
  if (texture_ == nullptr || width != textureWidth_ || height != textureHeight_) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (texture_ == nullptr) return;
    textureWidth_ = width, textureHeight_ = height;
    SDL_RenderSetLogicalSize(renderer_, width, height);  // fit, aspect kept
  }
  void* target = nullptr;
  int targetPitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &target, &targetPitch) != 0) return;
  const auto* from = reinterpret_cast<const std::uint8_t*>(pixels);
  auto* to = static_cast<std::uint8_t*>(target);
  for (int y = 0; y < height; ++y)
    std::memcpy(to + static_cast<std::size_t>(y) * targetPitch, from + static_cast<std::size_t>(y) * pitchBytes,
                static_cast<std::size_t>(width) * 2);
  SDL_UnlockTexture(texture_);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

int SdlHost::MessageBox(HWND, const std::string& text, const std::string& caption, UINT type) {
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR: flags = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONWARNING: flags = SDL_MESSAGEBOX_WARNING; break;
    default: break;
  }
  // The box needs the cursor; the devices come back with the focus.
  const bool hadFocus = focused_;
  if (hadFocus) SDL_SetRelativeMouseMode(SDL_FALSE);
  SDL_MessageBoxButtonData buttons[2];
  int count = 0;
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"};
      buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"};
      break;
    case MB_YESNO:
      buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
      buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
      break;
    default:
      buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
                          "OK"};
      break;
  }
  const SDL_MessageBoxData data{flags, window_, caption.c_str(), text.c_str(), count, buttons, nullptr};
  int pressed = IDOK;
  if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0) {
    // No way to show it (no display): say it on stderr and take the default.
    std::fprintf(stderr, "tarnview: %s: %s\n", caption.c_str(), text.c_str());
    pressed = buttons[count - 1].buttonid == IDCANCEL || buttons[count - 1].buttonid == IDNO
                  ? buttons[count - 1].buttonid
                  : IDOK;
  }
  if (hadFocus) SDL_SetRelativeMouseMode(SDL_TRUE);
  return pressed;
}

}  // namespace tarn::hosts
