// The SDL2 machine under the engine.
#include "platform/hosts/sdl/SdlHost.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
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

// SDL's drivers that open no screen: it falls back to them when no display
// answers, and a program on them would draw for nobody.
bool Screenless(const char* driver) {
  return driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
         std::strcmp(driver, "evdev") == 0;
}

bool Unset(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr || *value == '\0';
}

std::string NoDisplay() {
  std::string where;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    if (!Unset(name)) where += std::string(where.empty() ? "" : ", ") + name + "=" + std::getenv(name);
  }
  return "no display could be opened (" + (where.empty() ? std::string("DISPLAY is not set") : where) + ")";
}

// Without WAYLAND_DISPLAY and XDG_RUNTIME_DIR no Wayland compositor can be
// reached, and libwayland says so on stderr in words of its own before ours;
// the other drivers are still tried, in SDL's order.
void LeaveOutUnreachableWayland() {
  if (!Unset("SDL_VIDEODRIVER") || !Unset("WAYLAND_DISPLAY") || !Unset("XDG_RUNTIME_DIR")) return;
  std::string drivers;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const char* name = SDL_GetVideoDriver(i);
    if (name == nullptr || std::strcmp(name, "wayland") == 0) continue;
    if (!drivers.empty()) drivers += ',';
    drivers += name;
  }
  if (!drivers.empty()) SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
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
  // The quit signals are the host's (signals_), not SDL's.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  LeaveOutUnreachableWayland();
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = NoDisplay() + ": " + SDL_GetError();
    return false;
  }
  started_ = true;
  if (Screenless(SDL_GetCurrentVideoDriver()) && Unset("SDL_VIDEODRIVER")) {
    error = NoDisplay();
    return false;
  }
  return true;
}

void SdlHost::WindowCreated(HWND hwnd, const std::string& title, int, int, int, int, DWORD) {
  if (window_ != nullptr) return;  // one window: the engine makes only one
  hwnd_ = hwnd;
  // The display's own size and place: a window manager makes the window
  // full screen on request, and without one the window is that already.
  SDL_Rect bounds{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 800, 600};
  if (SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0)
    bounds = {SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 800, 600};
  window_ = SDL_CreateWindow(title.c_str(), bounds.x, bounds.y, bounds.w, bounds.h,
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
  if (signals_.Take() != 0) CloseWindow();
}

void SdlHost::FramePresented(const std::uint16_t* pixels, int pitchBytes, int width, int height) {
  if (renderer_ == nullptr || pixels == nullptr || width <= 0 || height <= 0 || pitchBytes < width * 2) return;
  int outputWidth = 0, outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0) return;
  const FitRect fit = FitFrame(width, height, outputWidth, outputHeight);
  if (fit.width <= 0 || fit.height <= 0) return;
  const bool shrink = fit.width < width || fit.height < height;
  const int textureWidth = shrink ? fit.width : width, textureHeight = shrink ? fit.height : height;
  if (texture_ == nullptr || textureWidth != textureWidth_ || textureHeight != textureHeight_ ||
      shrink != textureShrunk_) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, shrink ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565,
                                 SDL_TEXTUREACCESS_STREAMING, textureWidth, textureHeight);
    if (texture_ == nullptr) return;
    textureWidth_ = textureWidth, textureHeight_ = textureHeight, textureShrunk_ = shrink;
  }
  if (shrink) {
    shrunk_.resize(static_cast<std::size_t>(textureWidth) * static_cast<std::size_t>(textureHeight));
    if (!shrinker_.Shrink(pixels, pitchBytes, width, height, shrunk_.data(), textureWidth, textureHeight)) return;
    if (SDL_UpdateTexture(texture_, nullptr, shrunk_.data(), textureWidth * 4) != 0) return;
  } else if (SDL_UpdateTexture(texture_, nullptr, pixels, pitchBytes) != 0) {
    return;
  }
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  const SDL_Rect where{fit.x, fit.y, fit.width, fit.height};
  SDL_RenderCopy(renderer_, texture_, nullptr, &where);
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
