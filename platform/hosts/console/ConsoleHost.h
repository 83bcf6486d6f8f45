// ConsoleHost: the machine of a command-line program without a window. A
// message box is a line on stderr ("<program>: <caption>: <text>"), answered
// with OK; an error box marks the run as failed, so the program's exit
// status can say so. A progress line on a terminal is ended before a box.
// SIGINT, SIGTERM and SIGHUP (Ctrl+C, Ctrl+Break and the console's closing
// on Windows) remove the temporary files of the outputs being written and
// end the process: with 128 + the signal on Linux, as the console's default
// handler does on Windows.
//
// One implementation per platform: over the stand-ins on Linux (texts
// converted to UTF-8, the shell's arguments converted from it), over the
// real platform on Windows (texts and arguments are both the ANSI code page
// there, so nothing is converted). The host installs itself on construction
// and leaves on destruction; one exists at a time.
#pragma once

#include <memory>
#include <string>

namespace tarn::hosts {

class ConsoleHost {
 public:
  explicit ConsoleHost(std::string program);
  ~ConsoleHost();
  ConsoleHost(const ConsoleHost&) = delete;
  ConsoleHost& operator=(const ConsoleHost&) = delete;

  // "\r<name>: NN%" on stderr; the line stays open until EndProgressLine.
  // The name is the system's (code page 949).
  void ShowProgress(const std::string& name, int percent);
  void EndProgressLine();
  bool Failed() const { return failed_; }
  // Whether stderr is a terminal (progress is shown only there).
  static bool ErrorIsTerminal();
  // A command-line argument as the system holds text (code page 949).
  static std::string SystemText(const char* argument);

  // Called by the platform's message box: prints the line, notes failures.
  void Report(const std::string& text, const std::string& caption, bool error);

 private:
  struct Machine;
  std::string program_;
  bool failed_ = false;
  bool progressShown_ = false;
  std::unique_ptr<Machine> machine_;
};

}  // namespace tarn::hosts
