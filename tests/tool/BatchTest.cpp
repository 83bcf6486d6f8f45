// rigwright-batch from a shell: the same bytes as the menu commands, messages
// on stderr, and its exit status.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/common/DeepFolder.h"
#include "tests/tool/ToolTestSupport.h"

namespace tarn::tool {
namespace {

using testing::ReadAll;
using testing::ScratchFolder;
using testing::WriteAll;

struct Result {
  int status;
  std::string err;
};

// Found before any test moves the working directory.
const std::string program = std::filesystem::absolute(
    std::string(std::getenv("TARN_BUILD_DIR") != nullptr ? std::getenv("TARN_BUILD_DIR") : "build") +
    "/bin/rigwright-batch").string();

Result Batch(const std::string& arguments) {
  std::string command = "'" + program + "' " + arguments + " 2>stderr.txt >/dev/null";
  int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll("stderr.txt")};
}

const char kAse[] = "*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 4\n}\n"
                    "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01 Head\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n\t}\n"
                    "\t*MESH {\n\t\t*MESH_NUMVERTEX 1\n\t\t*MESH_VERTEX 0 1.5 2.5 3.5\n\t}\n"
                    "\t*TM_ANIMATION {\n\t\t*CONTROL_POS_SAMPLE 480 1 2 3\n\t}\n}\n";

TEST(Batch, ConvertsLikeTheMenuCommands) {
  ScratchFolder folder;
  WriteAll("in.ase", kAse);
  std::filesystem::create_directory("models");
  Result r = Batch("mesh in.ase -C models");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll("models/0.t3m"), "0.t3m\nNumVertex 1\nVERTEX 0 1.500000 3.500000 2.500000\nEnd\n");
  const std::string models = std::filesystem::canonical("models").string();
  EXPECT_NE(r.err.find("1개의 모델 파일을 " + models + " 폴더에 만들었습니다."), std::string::npos) << r.err;

  r = Batch("motion in.ase out.mca");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll("out.mca"), "PHYID 7\nP 7 3 1.0000 2.0000 3.0000\nEnd");
  EXPECT_NE(r.err.find("in.ase 파일을 out.mca 파일로 변환하는데 성공하였습니다."), std::string::npos) << r.err;

  EXPECT_EQ(Batch("physique in.ase out.mpd").status, 0);
  EXPECT_EQ(ReadAll("out.mpd"), "FirstKeyNumber 0\nKeyNumber 3\nNODE_PR 7 7\nTM_ROW0 7 1.0000 0.0000 0.0000\n");
  EXPECT_EQ(Batch("character-mesh in.ase out.mcm").status, 0);
  EXPECT_EQ(ReadAll("out.mcm"), "");
  EXPECT_EQ(Batch("chr in.ase out.mpd out.mca skin.bmp hero.chr").status, 0);
  EXPECT_EQ(ReadAll("hero.chr"), "in.ase\nout.mpd\nout.mca\nskin.bmp");
}

// `mesh NAME -C DIR` from a working folder deeper than PATH_MAX: the export
// is the one named from where the program started (never DIR's file of the
// same name), though its name from the root is too long to open; and an
// export in DIR named like the first model file is still refused there.
TEST(Batch, MeshWithAnotherFolderFromADeepFolderReadsTheNamedExport) {
  ScratchFolder folder;
  test::DeepFolder deep;
  ASSERT_TRUE(deep.Made());
  WriteAll("in.ase", kAse);
  std::filesystem::create_directory("models");
  std::string other = kAse;
  other.replace(other.find("1.5 2.5 3.5"), 11, "7.5 8.5 9.5");
  WriteAll("models/in.ase", other);
  Result r = Batch("mesh in.ase -C models");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll("models/0.t3m"), "0.t3m\nNumVertex 1\nVERTEX 0 1.500000 3.500000 2.500000\nEnd\n");
  EXPECT_EQ(ReadAll("models/in.ase"), other);

  WriteAll("models/0.t3m", kAse);
  r = Batch("mesh models/0.t3m -C models");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("0.t3m 파일은 입력 파일이므로"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll("models/0.t3m"), kAse);
}

TEST(Batch, FailuresGiveANonZeroStatus) {
  ScratchFolder folder;
  WriteAll("in.ase", kAse);
  Result r = Batch("physique missing.ase out.mpd");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.ase"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("out.mpd"));
  EXPECT_EQ(Batch("motion in.ase in.ase").status, 1);
  EXPECT_EQ(ReadAll("in.ase"), kAse);
  EXPECT_EQ(Batch("mesh in.ase -C no-such-folder").status, 1);
  EXPECT_EQ(Batch("motion in.ase no/folder/x.mca").status, 1);
  std::filesystem::create_directory("folder.ase");  // opens, but cannot be read
  EXPECT_EQ(Batch("mesh folder.ase").status, 1);
  EXPECT_EQ(Batch("physique folder.ase f.mpd").status, 1);
  EXPECT_FALSE(std::filesystem::exists("f.mpd"));
  EXPECT_EQ(Batch("frobnicate").status, 2);
  EXPECT_EQ(Batch("motion in.ase").status, 2);
  EXPECT_EQ(Batch("").status, 2);
  EXPECT_EQ(Batch("--help").status, 0);
}

TEST(Batch, AnOutputThatIsAnInputIsRefusedHoweverItIsSpelled) {
  ScratchFolder folder;
  WriteAll("in.ase", kAse);
  std::filesystem::create_directory("sub");
  std::filesystem::create_symlink("in.ase", "link.ase");
  std::filesystem::create_hard_link("in.ase", "hard.ase");
  for (const std::string& spelling : {std::string("in.ase"), std::string("./in.ase"), std::string("sub/../in.ase"),
                                      folder / "in.ase", std::string("link.ase"), std::string("hard.ase")}) {
    EXPECT_EQ(Batch("chr in.ase a.mpd a.mca a.bmp '" + spelling + "'").status, 1) << spelling;
    EXPECT_EQ(Batch("chr a.ase in.ase a.mca a.bmp '" + spelling + "'").status, 1) << spelling;
    EXPECT_EQ(Batch("motion in.ase '" + spelling + "'").status, 1) << spelling;
  }
  Result r = Batch("chr IN.ASE a.mpd a.mca a.bmp in.ase");  // the input found in another letter case
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("in.ase 파일은 입력 파일이므로"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll("in.ase"), kAse);
  WriteAll("0.t3m", kAse);  // an export named like the first model file
  EXPECT_EQ(Batch("mesh 0.t3m").status, 1);
  EXPECT_EQ(ReadAll("0.t3m"), kAse);
}

TEST(Batch, NamesOutsideCodePage949AndPipelines) {
  ScratchFolder folder;
  const std::string plain = ReadAll(testing::SharedData(folder.previous(), "ase/ThreeCubesGreen.ASE"));
  if (plain.empty()) GTEST_SKIP() << "SKIPPED: no shared test data at ../shared/testdata";
  std::filesystem::create_directory("Рабочий стол café 😀");
  std::filesystem::current_path("Рабочий стол café 😀");
  WriteAll("in.ase", kAse);
  EXPECT_EQ(Batch("physique in.ase Téléchargements.mpd").status, 0);
  EXPECT_EQ(ReadAll("Téléchargements.mpd"), "FirstKeyNumber 0\nKeyNumber 3\nNODE_PR 7 7\nTM_ROW0 7 1.0000 0.0000 0.0000\n");
  EXPECT_EQ(Batch("mesh in.ase").status, 0);
  EXPECT_TRUE(std::filesystem::exists("0.t3m"));
  EXPECT_EQ(std::system(("'" + program + "' motion in.ase /dev/stdout 2>/dev/null | cat >piped.mca").c_str()), 0);
  EXPECT_EQ(ReadAll("piped.mca"), "PHYID 7\nP 7 3 1.0000 2.0000 3.0000\nEnd");
  // Exports saved as UTF-16 convert as their 8-bit twin does.
  for (const char* twin : {"ThreeCubesGreen.ASE", "ThreeCubesGreen_UTF16LE.ASE", "ThreeCubesGreen_UTF16BE.ASE"}) {
    std::filesystem::create_directory(twin);
    Result run = Batch("mesh '" + testing::SharedData(folder.previous(), std::string("ase/") + twin) + "' -C " + twin);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("3개의"), std::string::npos) << twin << run.err;
    for (const char* model : {"0.t3m", "1.t3m", "2.t3m"})
      EXPECT_EQ(ReadAll(std::string(twin) + "/" + model), ReadAll(std::string("ThreeCubesGreen.ASE/") + model)) << twin;
  }
}

// A signal in the middle of a conversion of an 80 MB export. The program is
// stopped once its temporary file is there and the temporary is seen still
// there while it stands, so the signal (sent while it stands, delivered when
// it goes on) surely comes mid-conversion. The old output stays, no
// temporary is left, and the status is 128 + the signal.
TEST(Batch, ASignalDuringAConversionLeavesTheOldOutputAndNoTemporary) {
  ScratchFolder folder;
  {
    std::string samples;
    for (int i = 0; i < 1000; ++i) samples += "\t\t*CONTROL_POS_SAMPLE 480 1.5 2.5 3.5\n";
    std::ofstream big("big.ase", std::ios::binary);
    big << "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01 Head\"\n\t*TM_ANIMATION {\n";
    for (int i = 0; i < 2000; ++i) big << samples;
  }
  auto temporary = [] {
    for (const auto& e : std::filesystem::directory_iterator("."))
      if (e.path().filename().string().starts_with("big.mca.part")) return true;
    return false;
  };
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    WriteAll("big.mca", "old");
    pid_t child = 0;
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("motion"), const_cast<char*>("big.ase"),
                    const_cast<char*>("big.mca"), nullptr};
    ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    while (!temporary()) {
      ASSERT_EQ(waitpid(child, &status, WNOHANG), 0) << "the conversion ended before its temporary file appeared";
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGSTOP);
    ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the conversion ended before it could be stopped";
    ASSERT_TRUE(temporary()) << "the conversion was done before the signal";
    kill(child, signal);
    kill(child, SIGCONT);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << strsignal(signal) << ": status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal) << strsignal(signal);
    EXPECT_FALSE(temporary()) << strsignal(signal);
    const std::string output = ReadAll("big.mca");  // a whole conversion would flood the log
    EXPECT_TRUE(output == "old") << strsignal(signal) << ": big.mca now holds " << output.size() << " bytes";
  }
}

}  // namespace
}  // namespace tarn::tool
