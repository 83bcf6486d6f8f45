// Folders nested below the working folder until its absolute name is longer
// than PATH_MAX, and than any buffer a caller would hold it in (20 KB),
// entered and left by relative names only (no call takes the whole name; a
// shell's cd fails there). Made the working folder while it lives; leaving
// removes them, with what they hold.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <string>

namespace tarn::test {

class DeepFolder {
 public:
  static constexpr std::size_t kLevels = 100;
  DeepFolder() {
    for (levels_ = 0; levels_ < kLevels; ++levels_)
      if (::mkdir(kPart.c_str(), 0755) != 0 || ::chdir(kPart.c_str()) != 0) break;
  }
  ~DeepFolder() {
    for (const auto& e : std::filesystem::directory_iterator("."))
      std::filesystem::remove_all(e.path().filename());
    for (; levels_ > 0; --levels_)
      if (::chdir("..") != 0 || ::rmdir(kPart.c_str()) != 0) break;
  }
  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;
  bool Made() const { return levels_ == kLevels; }

 private:
  inline static const std::string kPart = std::string(200, 'd');
  std::size_t levels_ = 0;
};

}  // namespace tarn::test
