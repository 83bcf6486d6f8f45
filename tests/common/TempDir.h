// A fresh temporary folder made the working directory for one test, and
// small file helpers; the previous directory comes back at the end.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarn::test {

class TempWorkDir {
 public:
  TempWorkDir() {
    char pattern[] = "/tmp/tarn-test-XXXXXX";
    path_ = mkdtemp(pattern);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempWorkDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& previous() const { return previous_; }

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
