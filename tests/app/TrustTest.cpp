// The engine against worlds from strangers, end to end through
// tarnview-replay: planted links, FIFOs and devices, any folder name, one
// log, and memory that follows what a file holds.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "tests/common/Replay.h"

using namespace tarn::test;
namespace fs = std::filesystem;

namespace {

// Runs the replay in dir with a time limit: a world that hangs fails here.
RunResult RunLimited(const fs::path& dir, const std::string& arguments) {
  RunResult r;
  const std::string command = "cd '" + dir.string() + "' && timeout 60 '" + fs::absolute(ReplayExecutable()).string() +
                              "' " + arguments + " >replay.out 2>replay.err";
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFile(dir / "replay.out");
  r.err = ReadFile(dir / "replay.err");
  return r;
}

const char kTriangle[] = "NumVertex 3\nNumFace 1\nVERTEX 0 0 0 0\nVERTEX 1 1 0 0\nVERTEX 2 0 1 0\nFACE 0 0 1 2\nEnd\n";

TEST(Trust, PlantedLinksFifosAndDevicesAreNeitherWrittenNorWaitedOn) {
  TempWorkDir dir;
  WriteFile("victim", "keep");
  fs::create_directories("world/Model");
  fs::current_path("world");
  WriteFile("tarn.cfg", "Screen 320 200\n");
  fs::create_symlink("../victim", "Tarn.log");
  fs::create_symlink("../victim", "하이트필드.txt");
  for (const char* fifo : {"fifo.txt", "house.ase", "Model/1.t3m"}) ASSERT_EQ(mkfifo(fifo, 0600), 0);
  fs::create_symlink("/dev/zero", "zero.lst");
  fs::create_symlink("/dev/urandom", "Model/2.t3m");
  WriteFile("Model/0.t3m", kTriangle);
  WriteFile("floor.txt", "NumObject 3\n");
  WriteFile("exam.map", "FloorMap fifo.txt\nTextureFile zero.lst\nHouse house.ase 0 0 0 0 0\n"
                        "House x$(command).ase 0 0 0 0 0\nFloorMap floor.txt\nHeight none.bmp 2 2\nEnd\n");
  RunResult r = RunLimited(".", "--stats --frames 1 --clock virtual");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile("../victim"), "keep");
  EXPECT_NE(r.err.find("Tarn.log: a symbolic link"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("하이트필드.txt: a symbolic link"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("vertices 3 material"), std::string::npos) << r.out;  // model 0 still loads
}

// --stats without the run's timing.
std::string Stats(const RunResult& r) { return r.out.substr(0, r.out.find("frames ")); }

TEST(Trust, AnyFolderNameLoadsTheSameWorldIntoOneLog) {
  TempWorkDir dir;
  const char* build = std::getenv("TARN_BUILD_DIR");
  const fs::path sample = fs::absolute(dir.previous() / (build ? build : "build") / "sample");
  if (!fs::exists(sample / "exam.map")) GTEST_SKIP() << "SKIPPED: no sample world at " << sample;
  std::string stats;
  for (const char* name : {"plain", "café", "Рабочий стол", "αβγ 😀"}) {
    SCOPED_TRACE(name);
    fs::copy(sample, name, fs::copy_options::recursive);
    fs::remove(fs::path(name) / "Tarn.log");
    // A missing model in floor/ and a house whose material has no texture entry.
    const std::string map = ReadFile(fs::path(name) / "exam.map");
    WriteFile(fs::path(name) / "extra.txt", "Test\nRead 7\n");
    WriteFile(fs::path(name) / "exam.map", "FloorMap extra.txt\nHouse house1.ase 99 0 0 0 0\n" + map);
    RunResult r = RunLimited(name, "--stats --frames 0");
    ASSERT_EQ(r.status, 0) << r.err;
    if (stats.empty()) stats = Stats(r);
    EXPECT_EQ(Stats(r), stats);
    const std::string log = ReadFile(fs::path(name) / "Tarn.log");
    EXPECT_NE(log.find("Error: extra.txt line 2: floor/7.t3m: cannot open the model file\n"), std::string::npos) << log;
    EXPECT_NE(log.find("exam.map line 2: house1.ase: material index 99 has no entry"), std::string::npos) << log;
    for (const char* sub : {"Model", "floor", "texture"}) EXPECT_FALSE(fs::exists(fs::path(name) / sub / "Tarn.log"));
  }
  EXPECT_NE(stats.find("object 1 kind 1 vertices 72"), std::string::npos) << stats;
}

TEST(Trust, ASparseModelDeclaringHugeCountsTakesWhatItHolds) {
  TempWorkDir dir;
  fs::create_directories("Model");
  WriteFile("tarn.cfg", "Screen 320 200\n");
  WriteFile("exam.map", "FloorMap f.txt\nEnd\n");
  WriteFile("f.txt", "NumObject 1\n");
  WriteFile("Model/0.t3m", "NumVertex 3\nNumFace 16777216\nNumTVertex 65536\nNumTFace 16777216\nVERTEX 0 0 0 0\n"
                           "VERTEX 1 1 0 0\nVERTEX 2 0 1 0\nFACE 0 0 1 2\nFACE 16777215 0 1 2\nTFACE 16777215 0 1 2\n");
  fs::resize_file("Model/0.t3m", std::uintmax_t{128} << 20);  // a hole: 4 KB on disk
  const std::string program = fs::absolute(dir.previous() / ReplayExecutable()).string();
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--stats"), const_cast<char*>("--frames"),
                  const_cast<char*>("1"), nullptr};
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "replay.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, program.c_str(), &quiet, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&quiet);
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(child, &status, 0, &usage), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(ReadFile("replay.out").find("object 0 kind 1 vertices 6 "), std::string::npos);
  // Declared, the faces would take 1.8 GB; held, a few kilobytes.
  EXPECT_LT(usage.ru_maxrss, 512L * 1024) << "peak KB";
}

// Mouse counts at both ends of the 32-bit range, then ten steps forward: the
// turns must leave a finite heading, so that whichever way it points the walk
// ends one unit (ten steps of 0.1) from the start, at eye height.
TEST(Trust, ReplayMotionAtTheEndsOfItsRange) {
  TempWorkDir dir;
  WriteFile("tarn.cfg", "Screen 320 200\n");
  WriteFile("exam.map", "End\n");
  WriteFile("script.txt", "0 dx=-2147483648\n1 dx=2147483647 dy=-2147483648\n2 dx=-2147483648\n3-12 W\n");
  RunResult r = RunLimited(".", "--input script.txt --clock virtual");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::size_t at = r.out.find("camera ");
  ASSERT_NE(at, std::string::npos) << r.out;
  double x = 0, y = 0, z = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str() + at, "camera %lf %lf %lf", &x, &y, &z), 3) << r.out;
  EXPECT_DOUBLE_EQ(y, 1.0) << r.out;
  EXPECT_NEAR(std::hypot(x, z), 1.0, 1e-3) << r.out;  // nan, a printed "nan", fails here too
}

}  // namespace
