#include "platform/hosts/console/ConsoleHost.h"

#include <unistd.h>

#include <cstdio>

#include "platform/codepage/Cp949.h"
#include "platform/hosts/signals/QuitSignals.h"
#include "platform/win32/Host.h"

namespace tarn::hosts {

// The stand-ins' machine: their MessageBoxA arrives here in UTF-8. A quit
// signal ends the run at once, without the outputs' temporaries.
struct ConsoleHost::Machine : win32::Host {
  explicit Machine(ConsoleHost& owner) : owner_(owner) {}
  int MessageBox(HWND, const std::string& textUtf8, const std::string& captionUtf8, UINT type) override {
    owner_.Report(textUtf8, captionUtf8, (type & MB_ICONERROR) != 0);
    return IDOK;
  }
  ConsoleHost& owner_;
  QuitSignals signals_{QuitSignals::Ending::kNow};
};

ConsoleHost::ConsoleHost(std::string program)
    : program_(std::move(program)), machine_(std::make_unique<Machine>(*this)) {
  win32::SetHost(machine_.get());
}

ConsoleHost::~ConsoleHost() { win32::SetHost(nullptr); }

void ConsoleHost::Report(const std::string& text, const std::string& caption, bool error) {
  EndProgressLine();
  std::fprintf(stderr, "%s: %s: %s\n", program_.c_str(), caption.c_str(), text.c_str());
  if (error) failed_ = true;
}

void ConsoleHost::ShowProgress(const std::string& name, int percent) {
  std::fprintf(stderr, "\r%s: %3d%%", codepage::Cp949ToUtf8(name).c_str(), percent);
  progressShown_ = true;
}

void ConsoleHost::EndProgressLine() {
  if (progressShown_) std::fputc('\n', stderr);
  progressShown_ = false;
}

bool ConsoleHost::ErrorIsTerminal() { return isatty(2) != 0; }

std::string ConsoleHost::SystemText(const char* argument) { return codepage::Utf8ToCp949(argument); }

}  // namespace tarn::hosts
