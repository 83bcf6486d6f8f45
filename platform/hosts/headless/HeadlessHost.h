// HeadlessHost: a machine without a display for tests, benchmarks and
// screenshots. Input comes from a ReplayScript, frame by frame; presented
// frames are counted, kept for --shot and written for --shots; message
// boxes go to stderr and are answered with OK; GetTickCount runs on the
// system's clock or on a virtual one that advances per presented frame.
//
// Frame n's input is put in place when the loop looks at the message queue
// before frame n (frame 0's thus after start-up has opened the devices, so
// that its mouse motion is not lost to an unacquired mouse). After the last frame
// is presented the host posts the quit message, so the loop ends before
// another frame, as after Escape.
// A run is a command, not a window: SIGINT, SIGTERM and SIGHUP (those not
// ignored at the start) end it at once with 128 + the signal.
#pragma once

#include <functional>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hosts/headless/ReplayOptions.h"
#include "platform/hosts/headless/ReplayScript.h"
#include "platform/hosts/signals/QuitSignals.h"
#include "platform/win32/Host.h"

namespace tarn::hosts {

class HeadlessHost : public win32::Host {
 public:
  HeadlessHost(const ReplayOptions& options, ReplayScript script);

  // Frames the run draws: --frames, else the script's last frame + 1, else 1.
  std::int64_t FramesToDraw() const { return framesToDraw_; }
  // Starts the run's clock and schedules frame 0's input; call before the
  // system's entry runs.
  void BeginRun();
  // A frame reached the primary surface.
  void FramePresented(const std::uint16_t* pixels, int pitchBytes, int width, int height);
  // Writes --shot; false with a message when it cannot.
  bool Finish(std::string& error);

  std::int64_t FramesPresented() const { return presented_; }
  // Called once, when the program first looks at its message queue: its
  // start-up is over and no frame has been drawn yet.
  void SetLoopStartHook(std::function<void()> hook) { loopStart_ = std::move(hook); }
  // Seconds of drawing: on the virtual clock, frames times its step; on the
  // real clock, from the first look at the message queue (start-up, with
  // its loading, is over by then) to the last presented frame.
  double Seconds() const;
  int MessageBoxes() const { return boxes_; }
  const std::string& ShotError() const { return shotError_; }

  DWORD TickCount() override;
  void PumpEvents(int waitMilliseconds) override;
  int MessageBox(HWND, const std::string& text, const std::string& caption, UINT type) override;

 private:
  void Feed(std::int64_t frame);

  ReplayOptions options_;
  ReplayScript script_;
  std::int64_t framesToDraw_ = 1;
  std::int64_t presented_ = 0;
  std::uint32_t virtualNow_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastPresent_ = start_;
  bool looping_ = false;
  std::function<void()> loopStart_;
  bool feedPending_ = false;
  int boxes_ = 0;
  std::vector<std::uint16_t> last_;
  int lastWidth_ = 0, lastHeight_ = 0;
  std::string shotError_;
  QuitSignals signals_{QuitSignals::Ending::kNow};
};

}  // namespace tarn::hosts
