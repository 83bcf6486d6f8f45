// A fresh temporary folder made the working directory for one test, and
// small file helpers; the previous directory comes back at the end and the
// folder is removed with everything in it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarn::test {

class TempWorkDir {
 public:
  TempWorkDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tarn-test-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr) << "cannot make a temporary folder";
    path_ = made != nullptr ? made : std::filesystem::temp_directory_path();
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempWorkDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    if (path_ != std::filesystem::temp_directory_path()) std::filesystem::remove_all(path_, ignored);
  }
  TempWorkDir(const TempWorkDir&) = delete;
  TempWorkDir& operator=(const TempWorkDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The working directory before the test: the repository root under ctest.
  const std::filesystem::path& previous() const { return previous_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // An absolute path for a name relative to the previous directory.
  std::string FromRoot(const std::string& name) const { return (previous_ / name).string(); }

 private:
  std::filesystem::path path_, previous_;
};

inline void WriteFile(const std::filesystem::path& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::filesystem::path& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

}  // namespace tarn::test
