// ConsoleHost: the machine of a command-line program without a window. A
// message box is a line on stderr ("<program>: <caption>: <text>"), answered
// with OK; an error box marks the run as failed, so the program's exit
// status can say so. A progress line on a terminal is ended before a box.
#pragma once

#include <string>

#include "platform/win32/Host.h"

namespace tarn::hosts {

class ConsoleHost : public win32::Host {
 public:
  explicit ConsoleHost(std::string program) : program_(std::move(program)) {}

  int MessageBox(HWND, const std::string& textUtf8, const std::string& captionUtf8, UINT type) override;

  // "\r<name>: NN%" on stderr; the line stays open until EndProgressLine.
  void ShowProgress(const std::string& nameUtf8, int percent);
  void EndProgressLine();
  bool Failed() const { return failed_; }

 private:
  std::string program_;
  bool failed_ = false;
  bool progressShown_ = false;
};

}  // namespace tarn::hosts
