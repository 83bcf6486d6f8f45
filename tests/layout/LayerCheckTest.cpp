// The layering check on small trees of its own: what it must accept and each
// kind of break it must name.
#include "tests/layout/LayerCheck.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/common/TempDir.h"

namespace {

using tarn::layout::CheckLayers;
namespace fs = std::filesystem;

// low/ at the bottom (with a header folder for bare names), mid/ on it, top/ on mid.
const char kRecords[] =
    "target low low\nsource low low/Low.cpp\nheaders low low/include\n"
    "target mid mid\nsource mid mid/Mid.cpp\ndepends mid low\n"
    "target top top\nsource top top/Top.cpp\ndepends top mid\n";

struct Case {
  const char* what;
  const char* file;      // written with `text`, replacing the file of the sound tree
  const char* text;
  const char* records;   // extra record lines
  const char* expected;  // a piece of one of the problems, or "" for none
};

TEST(LayerCheck, AcceptsTheSoundTreeAndNamesEachBreak) {
  const Case cases[] = {
      {"sound tree", "top/Top.cpp", "#include \"top/Top.h\"\n#include \"low/Low.h\"\n", "", ""},
      {"a transitive dependency", "top/Top.cpp", "#include <api.h>\n#include <vector>\n", "", ""},
      {"a folder it does not depend on", "low/Low.cpp", "#include \"mid/Mid.h\"\n", "",
       "low/Low.cpp:1: includes mid/Mid.h of mid, but low does not depend on it"},
      {"a header breaks it too", "low/Low.h", "  #  include \"top/Top.h\"\n", "",
       "low/Low.h:1: includes top/Top.h of top, but low does not depend on it"},
      {"a bare name found in a header folder", "mid/Extra.h", "\n#include <api.h>\n", "", ""},
      {"a file of no library", "mid/Mid.cpp", "#include \"tests/Kit.h\"\n", "",
       "includes tests/Kit.h, which belongs to no library"},
      {"targets in a circle", "low/Low.cpp", "", "depends low top\n",
       "targets depend on each other in a circle: low or mid or top"},
      {"the writer on the engine, through a library between", "low/Low.cpp", "",
       "target writer gltf\ndepends writer mid\ndepends mid eng\ntarget eng engine/scene\n",
       "writer (gltf) depends on eng (engine/scene) through mid: gltf/ may not depend on engine/"},
      {"an export above the engine is sound", "low/Low.cpp", "",
       "target gather export\ndepends gather eng\ntarget eng engine/world\n", ""},
  };
  for (const Case& c : cases) {
    tarn::test::TempWorkDir dir;
    for (const char* folder : {"low/include", "mid", "top", "tests"}) fs::create_directories(folder);
    tarn::test::WriteFile("low/Low.h", "#include <cstdint>\n");
    tarn::test::WriteFile("low/Low.cpp", "#include \"low/Low.h\"\n");
    tarn::test::WriteFile("low/include/api.h", "#include \"low/Low.h\"\n");
    tarn::test::WriteFile("mid/Mid.h", "#include \"low/Low.h\"\n");
    tarn::test::WriteFile("mid/Mid.cpp", "#include \"mid/Mid.h\"\n");
    tarn::test::WriteFile("top/Top.h", "#include \"mid/Mid.h\"\n");
    tarn::test::WriteFile("top/Top.cpp", "#include \"top/Top.h\"\n");
    tarn::test::WriteFile("tests/Kit.h", "");
    tarn::test::WriteFile(c.file, c.text);
    std::istringstream records(std::string(kRecords) + c.records);
    const auto report = CheckLayers(dir.path(), records);
    if (*c.expected == '\0') {
      EXPECT_TRUE(report.problems.empty()) << c.what << ": " << (report.problems.empty() ? "" : report.problems[0]);
    } else {
      bool named = false;
      for (const std::string& p : report.problems) named |= p.find(c.expected) != std::string::npos;
      EXPECT_TRUE(named) << c.what << ": " << (report.problems.empty() ? "no problem" : report.problems[0]);
    }
    EXPECT_GE(report.filesChecked, 7) << c.what;
  }
}

TEST(LayerCheck, NamesTheIncludesOfAFolderCircle) {
  // Folder a's header includes b's and b's includes a's, while the records
  // (wrongly) let each depend on the other's target through a third one.
  tarn::test::TempWorkDir dir;
  fs::create_directories("a");
  fs::create_directories("b");
  tarn::test::WriteFile("a/A.h", "#include \"b/B.h\"\n");
  tarn::test::WriteFile("b/B.h", "#include \"a/A.h\"\n");
  std::istringstream records("target a a\ndepends a both\ntarget b b\ndepends b both\n"
                             "target both x\ndepends both a\ndepends both b\n");
  const auto report = CheckLayers(dir.path(), records);
  bool named = false;
  for (const std::string& p : report.problems)
    named |= p.find("folders include each other in a circle:\n  a/A.h:1: includes b/B.h\n  b/B.h:1: includes a/A.h") !=
             std::string::npos;
  EXPECT_TRUE(named) << (report.problems.empty() ? "no problem" : report.problems.back());
}

}  // namespace
