// Support for the tool's tests: a headless tool host (dialogs answered from a
// queue, message boxes recorded with caption and UTF-8 text, scripted window
// events), a scratch folder that becomes the working directory, and file
// helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/Host.h"
#include "platform/win32/WindowTable.h"
#include "tests/common/TempDir.h"

namespace tarn::tool::testing {

class ToolTestHost : public win32::Host {
 public:
  struct Box {
    std::string caption, text;
    UINT type;
  };
  // Dialog answers: a path (absolute or relative to the working directory at
  // the time the dialog runs), or nullopt for cancel. An empty queue cancels.
  std::deque<std::optional<std::string>> answers;
  std::vector<FileDialogRequest> dialogs;
  std::vector<Box> boxes;
  // Run one by one from PumpEvents, one per call (to post messages).
  std::deque<std::function<void()>> script;
  int pumps = 0;

  void Answer(const std::string& path) { answers.emplace_back(path); }
  void Cancel() { answers.emplace_back(std::nullopt); }

  bool FileDialog(HWND, const FileDialogRequest& request, std::string* chosen) override {
    dialogs.push_back(request);
    if (answers.empty()) return false;
    std::optional<std::string> a = answers.front();
    answers.pop_front();
    if (!a) return false;
    *chosen = *a;
    return true;
  }
  int MessageBox(HWND, const std::string& text, const std::string& caption, UINT type) override {
    boxes.push_back({caption, text, type});
    return IDOK;
  }
  void PumpEvents(int) override {
    ++pumps;
    if (!script.empty()) {
      auto step = std::move(script.front());
      script.pop_front();
      step();
    }
  }
};

using ScratchFolder = tarn::test::TempWorkDir;

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
inline void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}
inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}
// The repository's path for a file of the shared test data.
inline std::string SharedData(const std::filesystem::path& repositoryRoot, const std::string& relative) {
  return (repositoryRoot / ".." / "shared" / "testdata" / relative).string();
}

}  // namespace tarn::tool::testing
