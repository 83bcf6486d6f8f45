// A fuzz target's working folder: made under $TMPDIR (default /tmp), entered,
// and removed when the run ends normally (libFuzzer exits through exit()).
// scripts/fuzz.sh points TMPDIR into its build folder and empties it, so a
// run that ends in a crash leaves nothing in /tmp either.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline void EnterFuzzFolder(const char* prefix) {
  static std::string folder;
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) std::abort();
  folder = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
}
