// Reading "tarn.cfg" into the screen rectangle.
#include "engine/app/ScreenConfig.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "engine/log/TarnLog.h"
#include "formats/LineScan.h"
#include "platform/files/AnsiFile.h"

namespace {

constexpr std::size_t kMostRead = 1u << 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// A configuration that did not give the screen is a problem of loading the
// world, counted with the loaders' ones.
void LogConfigProblem(const char* path, const char* what) {
  char text[256];
  std::snprintf(text, sizeof text, "%s: %s", path, what);
  AppendTarnLogError(text);
}

}  // namespace

ConfigStatus ParseScreenConfig(std::string_view text, LONG& width, LONG& height) {
  char word[256];
  int w = 0, h = 0;
  if (tarn::formats::ScanLine(text, "%s %d %d", word, &w, &h) != 3) return ConfigStatus::kIncomplete;
  if (w <= 0 || h <= 0 || w > kLargestScreenSide || h > kLargestScreenSide) return ConfigStatus::kBadSize;
  width = w;
  height = h;
  return ConfigStatus::kRead;
}

ConfigStatus ReadScreenConfig(const char* path, RECT& screen) {
  screen.left = 0;
  screen.top = 0;
  ConfigStatus status = ConfigStatus::kMissing;
  LONG width = kFallbackWidth, height = kFallbackHeight;
  std::unique_ptr<std::FILE, FileCloser> file(tarn::files::AnsiFopen(path, "rt"));
  if (file) {
    std::vector<char> text(kMostRead);
    const std::size_t got = std::fread(text.data(), 1, text.size(), file.get());
    if (std::ferror(file.get())) {
      status = ConfigStatus::kMissing;
    } else {
      status = ParseScreenConfig(std::string_view(text.data(), got), width, height);
    }
  }
  switch (status) {
    case ConfigStatus::kRead:
      break;
    case ConfigStatus::kMissing:
      LogConfigProblem(path, "cannot be read; screen 800 x 600");
      break;
    case ConfigStatus::kIncomplete:
      LogConfigProblem(path, "no word, width and height; screen 800 x 600");
      break;
    case ConfigStatus::kBadSize:
      LogConfigProblem(path, "no display takes that size; screen 800 x 600");
      break;
  }
  if (status != ConfigStatus::kRead) width = kFallbackWidth, height = kFallbackHeight;
  screen.right = width;
  screen.bottom = height;
  return status;
}
