#include "platform/hosts/console/ConsoleHost.h"

#include <cstdio>

namespace tarn::hosts {

int ConsoleHost::MessageBox(HWND, const std::string& textUtf8, const std::string& captionUtf8, UINT type) {
  EndProgressLine();
  std::fprintf(stderr, "%s: %s: %s\n", program_.c_str(), captionUtf8.c_str(), textUtf8.c_str());
  if (type & MB_ICONERROR) failed_ = true;
  return IDOK;
}

void ConsoleHost::ShowProgress(const std::string& nameUtf8, int percent) {
  std::fprintf(stderr, "\r%s: %3d%%", nameUtf8.c_str(), percent);
  progressShown_ = true;
}

void ConsoleHost::EndProgressLine() {
  if (progressShown_) std::fputc('\n', stderr);
  progressShown_ = false;
}

}  // namespace tarn::hosts
