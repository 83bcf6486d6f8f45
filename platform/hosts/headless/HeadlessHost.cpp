// The scripted machine behind tarnview-replay.
#include "platform/hosts/headless/HeadlessHost.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <windows.h>

#include "platform/dinput/InputSeam.h"
#include "platform/hosts/headless/PngFile.h"

namespace tarn::hosts {

HeadlessHost::HeadlessHost(const ReplayOptions& options, ReplayScript script)
    : options_(options), script_(std::move(script)) {
  if (options_.frames > 0) {
    framesToDraw_ = options_.frames;
  } else if (script_.LastFrame() >= 0) {
    framesToDraw_ = script_.LastFrame() + 1;
  }
}

void HeadlessHost::Feed(std::int64_t frame) {
  const FrameInput in = script_.At(frame);
  dinput::ReleaseAll();
  for (int code = 0; code < 256; ++code)
    if (in.keys.test(static_cast<std::size_t>(code))) dinput::SetKey(code, true);
  dinput::SetButton(0, in.leftButton);
  dinput::SetButton(1, in.rightButton);
  auto clamp = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  if (in.dx != 0 || in.dy != 0) dinput::AddMotion(clamp(in.dx), clamp(in.dy));
}

void HeadlessHost::BeginRun() {
  start_ = lastPresent_ = std::chrono::steady_clock::now();
  dinput::ReleaseAll();
  feedPending_ = true;
}

void HeadlessHost::FramePresented(const std::uint16_t* pixels, int pitchBytes, int width, int height) {
  const std::int64_t frame = presented_++;
  lastPresent_ = std::chrono::steady_clock::now();
  virtualNow_ += options_.millisecondsPerFrame;
  if (pixels != nullptr && width > 0 && height > 0 && pitchBytes >= width * 2) {
    if (!options_.shotPath.empty()) {
      last_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      for (int y = 0; y < height; ++y)
        std::copy_n(reinterpret_cast<const std::uint8_t*>(pixels) + static_cast<std::size_t>(y) * pitchBytes,
                    static_cast<std::size_t>(width) * 2,
                    reinterpret_cast<std::uint8_t*>(last_.data() + static_cast<std::size_t>(y) * width));
      lastWidth_ = width, lastHeight_ = height;
    }
    if (!options_.shotsDir.empty() && frame % options_.every == 0 && shotError_.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(frame));
      std::error_code ignored;
      std::filesystem::create_directories(options_.shotsDir, ignored);
      WritePng565((std::filesystem::path(options_.shotsDir) / name).string(), pixels, pitchBytes, width, height,
                  shotError_);
    }
  }
  if (presented_ >= framesToDraw_) {
    dinput::ReleaseAll();
    PostQuitMessage(0);
  } else {
    dinput::ReleaseAll();
    feedPending_ = true;
  }
}

bool HeadlessHost::Finish(std::string& error) {
  if (!shotError_.empty()) {
    error = shotError_;
    return false;
  }
  if (options_.shotPath.empty()) return true;
  if (last_.empty()) {
    error = "no frame was presented, so there is nothing to write to " + options_.shotPath;
    return false;
  }
  return WritePng565(options_.shotPath, last_.data(), lastWidth_ * 2, lastWidth_, lastHeight_, error);
}

double HeadlessHost::Seconds() const {
  if (options_.virtualClock) return static_cast<double>(presented_) * options_.millisecondsPerFrame / 1000.0;
  return std::chrono::duration<double>(lastPresent_ - start_).count();
}

void HeadlessHost::PumpEvents(int) {
  if (!looping_) {
    looping_ = true;
    start_ = lastPresent_ = std::chrono::steady_clock::now();
  }
  if (feedPending_) {
    feedPending_ = false;
    Feed(presented_);
  }
}

DWORD HeadlessHost::TickCount() {
  if (options_.virtualClock) return virtualNow_;
  return win32::Host::TickCount();
}

int HeadlessHost::MessageBox(HWND, const std::string& text, const std::string& caption, UINT) {
  ++boxes_;
  std::fprintf(stderr, "tarnview-replay: message box \"%s\": %s\n", caption.c_str(), text.c_str());
  return IDOK;
}

}  // namespace tarn::hosts
