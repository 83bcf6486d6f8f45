// Helpers for the world tests: a scratch folder made current for one test,
// files written into it, and a log that keeps its lines.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/log/TarnLog.h"
#include "engine/world/MeshObject.h"
#include "tests/common/TempDir.h"

using ScratchFolder = tarn::test::TempWorkDir;

// A file of the shared test data: ../shared/testdata/<name> from the
// repository root (one folder further up from a worktree under wt/).
inline std::string TestData(const std::string& name) {
  for (const char* base : {"../shared/testdata/", "../../shared/testdata/"}) {
    std::string path = base + name;
    if (std::filesystem::exists(path)) return path;
  }
  return "../shared/testdata/" + name;
}

inline void WriteFile(const std::string& name, const std::string& text) {
  std::filesystem::path p(name);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

inline std::string ReadFileText(const std::string& name) {
  std::string out;
  if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
  }
  return out;
}

struct CapturedLog {
  std::vector<std::string> lines;
  LoadLog Sink() {
    LoadLog log;
    log.context = this;
    log.write = [](void* c, const char* text) { static_cast<CapturedLog*>(c)->lines.emplace_back(text); };
    return log;
  }
  bool Mentions(const std::string& what) const {
    for (const std::string& l : lines)
      if (l.find(what) != std::string::npos) return true;
    return false;
  }
};
