// The ANSI file functions as the engine calls them: code page 949 names,
// backslashes and any letter case reach the files on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/files/AnsiFile.h"
#include "tests/common/TempDir.h"

using namespace tarn::files;

// "하이트필드.txt" as the system holds it, in code page 949.
static const char kHeightFieldCp949[] = "\xC7\xCF\xC0\xCC\xC6\xAE\xC7\xCA\xB5\xE5.txt";

TEST(AnsiFile, KoreanNamesBackslashesAndCaseReachTheDisk) {
  namespace fs = std::filesystem;
  tarn::test::TempWorkDir work;  // removed, and the folder before it entered again, however the test ends
  const fs::path dir = work.path();
  fs::create_directories(dir / "Model");

  std::FILE* f = AnsiFopen(kHeightFieldCp949, "wt");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(fs::exists(dir / "하이트필드.txt"));

  f = std::fopen((dir / "Model" / "House.ASE").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("x", f);
  std::fclose(f);
  f = AnsiFopen("model\\house.ase", "rt");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::fgetc(f), 'x');
  std::fclose(f);
  long long size = 0;
  EXPECT_EQ(AnsiFileSize("MODEL/HOUSE.ase", &size), 0);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(AnsiFopen("Model\\missing.ase", "rt"), nullptr);

  ASSERT_EQ(_chdir("MODEL"), 0);
  char cwd[4096];
  ASSERT_NE(_getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(fs::path(cwd).filename(), "Model");
  char tiny[4];
  EXPECT_EQ(_getcwd(tiny, sizeof tiny), nullptr);
}
