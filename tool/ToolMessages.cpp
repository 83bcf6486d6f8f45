#include "tool/ToolMessages.h"

#include <cstdarg>
#include <cstdio>

#include "tool/ToolTexts.h"

namespace tarn::tool {

std::string Format(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n) : sizeof buffer - 1);
}

void ShowConverted(HWND owner, const std::string& inputName, const std::string& outputName) {
  std::string text = Format(texts::kConvertSucceeded, inputName.c_str(), outputName.c_str());
  MessageBoxA(owner, text.c_str(), texts::kEditCaption, MB_OK);
}

void ShowMeshCount(HWND owner, int files, const std::string& folder) {
  MessageBoxA(owner, Format(texts::kMeshCount, files, folder.c_str()).c_str(), texts::kEditCaption, MB_OK);
}

void ShowNoAseFile(HWND owner) { MessageBoxA(owner, texts::kNoAseFile, texts::kEditCaption, MB_OK | MB_ICONERROR); }

void ShowCannotOpen(HWND owner, const std::string& name, const std::string& reason) {
  MessageBoxA(owner, Format(texts::kCannotOpen, name.c_str(), reason.c_str()).c_str(), texts::kEditCaption,
              MB_OK | MB_ICONERROR);
}

void ShowCannotWrite(HWND owner, const std::string& name, const std::string& reason) {
  MessageBoxA(owner, Format(texts::kCannotWrite, name.c_str(), reason.c_str()).c_str(), texts::kEditCaption,
              MB_OK | MB_ICONERROR);
}

void ShowOutputIsInput(HWND owner, const std::string& name) {
  MessageBoxA(owner, Format(texts::kOutputIsInput, name.c_str()).c_str(), texts::kEditCaption, MB_OK | MB_ICONERROR);
}

}  // namespace tarn::tool
