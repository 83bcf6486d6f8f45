// Running tarnview-replay in a temporary world folder, for the end-to-end
// tests: the program goes through WinMain, start-up and the frame loop as a
// user would run it.
#pragma once

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/TempDir.h"

namespace tarn::test {

struct RunResult {
  int status = -1;
  std::string out, err;
};

inline std::string ReplayExecutable() {
  const char* build = std::getenv("TARN_BUILD_DIR");
  return std::string(build ? build : "build") + "/bin/tarnview-replay";
}

// Runs the replay with `arguments` (already shell-quoted) in `dir`.
inline RunResult RunReplay(const std::filesystem::path& dir, const std::string& arguments) {
  RunResult r;
  const std::string command = "cd '" + dir.string() + "' && '" + ReplayExecutable() + "' " + arguments +
                              " >replay.out 2>replay.err";
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFile(dir / "replay.out");
  r.err = ReadFile(dir / "replay.err");
  return r;
}

// An 8-bit RGB picture read back from a PNG.
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  const unsigned char* At(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

inline bool ReadPng(const std::filesystem::path& path, Picture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  return true;
}

}  // namespace tarn::test
