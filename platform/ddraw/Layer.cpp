// The layer's process-wide state: profile, failures, live objects, display.
#include <cstring>
#include <map>
#include <string_view>

#include "platform/ddraw/Objects.h"

namespace tarn::ddraw {
namespace {

struct Failure {
  int nth;
  HRESULT result;
};

struct LayerState {
  Profile profile = DefaultProfile();
  std::map<std::string, int, std::less<>> calls;
  std::multimap<std::string, Failure, std::less<>> failures;  // nth counted in calls of that method
  int live = 0;
  DisplaySink* sink = nullptr;
  Surface* primary = nullptr;
  int modeWidth = 0, modeHeight = 0;
};

}  // namespace

// Calls are counted only while a test watches them: the device is called
// thousands of times a frame, and a program never asks.
bool callsWatched = false;

namespace {

LayerState& State() {
  static LayerState state;
  return state;
}

DDPIXELFORMAT Rgb(DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = flags;
  f.dwRGBBitCount = bits;
  f.dwRBitMask = r;
  f.dwGBitMask = g;
  f.dwBBitMask = b;
  f.dwRGBAlphaBitMask = a;
  return f;
}

DDPIXELFORMAT Z(DWORD flags, DWORD bits, DWORD stencilBits, DWORD zMask, DWORD stencilMask) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = flags;
  f.dwZBufferBitDepth = bits;
  f.dwStencilBitDepth = stencilBits;
  f.dwZBitMask = zMask;
  f.dwStencilBitMask = stencilMask;
  return f;
}

}  // namespace

DDPIXELFORMAT FormatRgb565() { return Rgb(DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0); }
DDPIXELFORMAT FormatArgb1555() { return Rgb(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
DDPIXELFORMAT FormatArgb4444() { return Rgb(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000); }
DDPIXELFORMAT FormatArgb8888() {
  return Rgb(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
}
DDPIXELFORMAT FormatZ16() { return Z(DDPF_ZBUFFER, 16, 0, 0xFFFF, 0); }
DDPIXELFORMAT FormatZ24S8() { return Z(DDPF_ZBUFFER | DDPF_STENCILBUFFER, 32, 8, 0xFFFFFF00, 0x000000FF); }
DDPIXELFORMAT FormatZ32() { return Z(DDPF_ZBUFFER, 32, 0, 0xFFFFFFFF, 0); }

Profile DefaultProfile() {
  Profile p;
  p.zFormats = {FormatZ24S8(), FormatZ16()};
  p.textureFormats = {FormatRgb565(), FormatArgb1555(), FormatArgb4444(), FormatArgb8888()};
  p.textureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_ALPHA;
  p.maxTextureWidth = p.maxTextureHeight = 2048;
  p.pitchPadding = 0;
  return p;
}

void SetProfile(const Profile& profile) {
  State().profile = profile;
  if (State().profile.pitchPadding < 0) State().profile.pitchPadding = 0;
}
const Profile& CurrentProfile() { return State().profile; }

void WatchCalls(bool on) { callsWatched = on; }

void FailCall(const std::string& method, int nth, HRESULT result) {
  LayerState& s = State();
  callsWatched = true;
  s.failures.emplace(method, Failure{s.calls[method] + nth, result});
}

int CallCount(const std::string& method) {
  auto it = State().calls.find(method);
  return it == State().calls.end() ? 0 : it->second;
}

HRESULT CountCall(const char* method) {
  LayerState& s = State();
  std::string_view name(method);
  auto it = s.calls.find(name);
  if (it == s.calls.end()) it = s.calls.emplace(std::string(name), 0).first;
  int n = ++it->second;
  if (s.failures.empty()) return S_OK;
  auto range = s.failures.equal_range(name);
  for (auto f = range.first; f != range.second; ++f)
    if (f->second.nth == n) return f->second.result;
  return S_OK;
}

void CountObject(int delta) { State().live += delta; }
int LiveObjects() { return State().live; }

void ResetLayer() {
  LayerState& s = State();
  s.profile = DefaultProfile();
  callsWatched = false;
  s.calls.clear();
  s.failures.clear();
  s.sink = nullptr;
}

void SetDisplaySink(DisplaySink* sink) { State().sink = sink; }
void SetPrimary(Surface* primary) { State().primary = primary; }
Surface* Primary() { return State().primary; }
void SetDisplayMode(int width, int height) {
  State().modeWidth = width;
  State().modeHeight = height;
}
void CurrentDisplayMode(int* width, int* height) {
  if (width) *width = State().modeWidth;
  if (height) *height = State().modeHeight;
}

void PresentPrimary() {
  LayerState& s = State();
  if (!s.sink || !s.primary) return;
  s.sink->Present(reinterpret_cast<const std::uint16_t*>(s.primary->Bits()), s.primary->Pitch(),
                  s.primary->Width(), s.primary->Height());
}

bool ReadPrimary(std::vector<std::uint16_t>* pixels, int* width, int* height) {
  Surface* p = State().primary;
  if (!p || !pixels) return false;
  int w = p->Width(), h = p->Height();
  pixels->resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y)
    std::memcpy(pixels->data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w),
                p->Bits() + static_cast<std::ptrdiff_t>(y) * p->Pitch(), static_cast<std::size_t>(w) * 2);
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
  return a.dwFlags == b.dwFlags && a.dwFourCC == b.dwFourCC && a.dwRGBBitCount == b.dwRGBBitCount &&
         a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask &&
         a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

}  // namespace tarn::ddraw
