// The console host on Windows. The tool reports through MessageBoxA, which
// in a console program would open boxes nobody is there to close; this
// program takes the import slot of MessageBoxA for itself (the system's
// calls go through that slot, declared dllimport by windows.h), so that
// every report becomes a line on stderr. Texts stay in the ANSI code page,
// as the console shows them.
#include "platform/hosts/console/ConsoleHost.h"

#include <windows.h>
#include <io.h>

#include <cstdio>

#include "platform/files/OutputFile.h"

namespace tarn::hosts {
namespace {

ConsoleHost* Current = nullptr;

// Ctrl+C, Ctrl+Break and the console's closing: the outputs in flight lose
// their temporaries, then the default handler ends the process.
BOOL WINAPI EndOfConsole(DWORD) {
  files::RemoveTemporaryOutputs();
  return FALSE;
}

int WINAPI ConsoleMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  if (Current != nullptr)
    Current->Report(text != nullptr ? text : "", caption != nullptr ? caption : "", (type & MB_ICONERROR) != 0);
  return IDOK;
}

}  // namespace

struct ConsoleHost::Machine {};

ConsoleHost::ConsoleHost(std::string program) : program_(std::move(program)) {
  Current = this;
  SetConsoleCtrlHandler(EndOfConsole, TRUE);
}

ConsoleHost::~ConsoleHost() {
  SetConsoleCtrlHandler(EndOfConsole, FALSE);
  if (Current == this) Current = nullptr;
}

void ConsoleHost::Report(const std::string& text, const std::string& caption, bool error) {
  EndProgressLine();
  std::fprintf(stderr, "%s: %s: %s\n", program_.c_str(), caption.c_str(), text.c_str());
  if (error) failed_ = true;
}

void ConsoleHost::ShowProgress(const std::string& name, int percent) {
  std::fprintf(stderr, "\r%s: %3d%%", name.c_str(), percent);
  progressShown_ = true;
}

void ConsoleHost::EndProgressLine() {
  if (progressShown_) std::fputc('\n', stderr);
  progressShown_ = false;
}

bool ConsoleHost::ErrorIsTerminal() { return _isatty(2) != 0; }

std::string ConsoleHost::SystemText(const char* argument) { return argument != nullptr ? argument : ""; }

}  // namespace tarn::hosts

// The import slot the linker would otherwise fill from user32. Its symbol is
// spelt by the target's conventions: 32-bit Windows decorates stdcall names
// with a leading underscore and the argument bytes, 64-bit Windows has one
// calling convention and leaves names bare. A slot under the wrong name is
// silently not ours, and the reports become boxes again.
#ifdef _WIN64
#define TARN_MESSAGE_BOX_SLOT "__imp_MessageBoxA"
#else
#define TARN_MESSAGE_BOX_SLOT "__imp__MessageBoxA@16"
#endif
extern "C" {
int(WINAPI* ConsoleMessageBoxSlot)(HWND, LPCSTR, LPCSTR, UINT) asm(TARN_MESSAGE_BOX_SLOT) =
    tarn::hosts::ConsoleMessageBox;
}
