// The file seam against what a stranger can plant: links, FIFOs, devices,
// names outside code page 949, byte-order marks and signals (the size limit
// is the host's: tests/files/QuitSignalsTest.cpp).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/codepage/Cp949.h"
#include "platform/files/AnsiFile.h"
#include "platform/files/OutputFile.h"
#include "tests/common/TempDir.h"

namespace fs = std::filesystem;
using namespace tarn::files;
using tarn::test::ReadFile;
using tarn::test::TempWorkDir;
using tarn::test::WriteFile;

namespace {

std::string Ansi(const std::string& utf8) { return tarn::codepage::Utf8ToCp949(utf8); }

bool AnyTemporary(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().find(".part") != std::string::npos) return true;
  return false;
}

// Writes `text` to `name` through an OutputFile; the Commit's result.
bool WriteOutput(const std::string& name, const std::string& text) {
  OutputFile out;
  if (!out.Open(Ansi(name))) return false;
  std::fputs(text.c_str(), out.Stream());
  return out.Commit();
}

TEST(Names, HostNamesComeBackUnchangedAndKoreanStaysKorean) {
  for (const char* name : {"café", "Рабочий стол", "αβγ", "😀 emoji", "Téléchargements/Música", "\xE9" "a latin-1",
                           "\xFF\xFE", "하이트필드.txt", "mixed 한 é"}) {
    EXPECT_EQ(AnsiToHostPath(Ansi(name).c_str()), name);
  }
  // The working folder the engine enters and comes back to.
  TempWorkDir dir;
  fs::create_directories(dir.path() / "Рабочий café 😀" / "Model");
  ASSERT_EQ(_chdir(Ansi("Рабочий café 😀").c_str()), 0);
  char saved[4096];
  ASSERT_NE(_getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(_chdir("Model"), 0);
  ASSERT_EQ(_chdir(saved), 0);
  EXPECT_EQ(fs::current_path(), dir.path() / "Рабочий café 😀");
}

TEST(Inputs, OnlyRegularFilesOpenAndNothingWaits) {
  TempWorkDir dir;
  ASSERT_EQ(mkfifo("fifo.map", 0600), 0);
  fs::create_directory("folder.map");
  fs::create_symlink("/dev/zero", "zero.map");
  fs::create_symlink("fifo.map", "link-to-fifo.map");
  for (const char* name : {"fifo.map", "folder.map", "zero.map", "link-to-fifo.map", "/dev/urandom"}) {
    EXPECT_EQ(AnsiFopen(name, "rt"), nullptr) << name;
    EXPECT_NE(LastErrorText().find("not a"), std::string::npos) << name << ": " << LastErrorText();
  }
}

TEST(Inputs, MarkedTextReadsAsItsEightBitForm) {
  TempWorkDir dir;
  const std::string text = "*NODE_NAME \"caf\xC3\xA9 한\"\r\n*MESH_NUMFACES 12\r\n";
  const std::string eightBit = "*NODE_NAME \"" + Ansi("café 한") + "\"\r\n*MESH_NUMFACES 12\r\n";
  std::u16string wide;
  for (char32_t c : std::u32string(U"*NODE_NAME \"café 한\"\r\n*MESH_NUMFACES 12\r\n")) wide.push_back(static_cast<char16_t>(c));
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t u : wide) {
    le += static_cast<char>(u & 0xFF), le += static_cast<char>(u >> 8);
    be += static_cast<char>(u >> 8), be += static_cast<char>(u & 0xFF);
  }
  WriteFile("le.ase", le);
  WriteFile("be.ase", be);
  WriteFile("utf8.ase", "\xEF\xBB\xBF" + text);
  for (const char* name : {"le.ase", "be.ase", "utf8.ase"}) {
    std::FILE* f = AnsiFopen(name, "rt");
    ASSERT_NE(f, nullptr) << name;
    std::string got;
    char buffer[7];  // small reads cross the decoder's blocks
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) got.append(buffer, n);
    EXPECT_FALSE(std::ferror(f));
    std::fclose(f);
    EXPECT_EQ(got, eightBit) << name;
  }
  std::FILE* raw = AnsiFopen("le.ase", "rb");  // binary mode: the bytes as they are
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::fgetc(raw), 0xFF);
  std::fclose(raw);
}

// What the decoder makes of broken text, and of characters that its reads
// (16 KiB after the mark) cut in two: `padded` letters 'a' come first, so
// that the first read ends one byte (UTF-8) or one unit (UTF-16) into `tail`.
TEST(Inputs, MarkedTextDecodesMalformedAndCutCharacters) {
  const std::string le = "\xFF\xFE", be = "\xFE\xFF", utf8 = "\xEF\xBB\xBF";
  struct Case {
    const char* what;
    std::string mark;
    bool padded;
    std::string tail;
    std::string eightBit;  // after the padding
  } cases[] = {
      {"UTF-8 malformed and cut at the end", utf8, false, "a\xFF" "b\r\n\xC3", "a?b\r\n?"},
      {"UTF-8 four bytes cut at the end", utf8, false, "x\xF0\x9F\x98", "x???"},
      {"UTF-8 Korean across reads", utf8, true, "\xED\x95\x9C\r\n", Ansi("한") + "\r\n"},
      {"UTF-8 emoji across reads", utf8, true, "\xF0\x9F\x98\x80z", Ansi("😀") + "z"},
      {"UTF-8 broken across reads", utf8, true, "\xE2\x82z", "??z"},
      {"UTF-16LE lone surrogates and half a unit", le, false, std::string("\x00\xDC" "x\0" "\x00\xD8\r", 7), "?x??"},
      {"UTF-16LE pair across reads", le, true, std::string("\x3D\xD8\x00\xDE\r\0\n\0", 8), Ansi("😀") + "\r\n"},
      {"UTF-16BE pair broken across reads", be, true, std::string("\xD8\x3D\0b", 4), "?b"},
  };
  TempWorkDir dir;
  for (const Case& c : cases) {
    const std::size_t letters = !c.padded ? 0 : c.mark == utf8 ? 16383 : 8191;
    std::string bytes = c.mark;
    for (std::size_t i = 0; i < letters; ++i) {
      if (c.mark == be) bytes += '\0';
      bytes += 'a';
      if (c.mark == le) bytes += '\0';
    }
    WriteFile("case.txt", bytes + c.tail);
    std::FILE* f = AnsiFopen("case.txt", "rt");
    ASSERT_NE(f, nullptr) << c.what;
    std::string got;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) got.append(buffer, n);
    EXPECT_FALSE(std::ferror(f)) << c.what;
    std::fclose(f);
    ASSERT_GE(got.size(), letters) << c.what;
    EXPECT_EQ(got.substr(0, letters).find_first_not_of('a'), std::string::npos) << c.what;
    EXPECT_EQ(got.substr(letters), c.eightBit) << c.what;
  }
}

TEST(OwnFiles, PlantedLinksFifosAndSecondNamesAreNotWritten) {
  TempWorkDir dir;
  WriteFile("victim", "keep");
  fs::create_symlink("victim", "link.log");
  fs::create_hard_link("victim", "hard.log");
  ASSERT_EQ(mkfifo("fifo.log", 0600), 0);
  fs::create_symlink("/dev/null", "null.log");
  for (const char* name : {"link.log", "hard.log", "fifo.log", "null.log"}) {
    for (OwnFile mode : {OwnFile::kAppend, OwnFile::kEmpty}) {
      std::FILE* f = OpenOwnFile(name, mode);
      EXPECT_EQ(f, nullptr) << name;
      if (f != nullptr) std::fclose(f);
    }
  }
  EXPECT_EQ(ReadFile("victim"), "keep");
  for (int run = 0; run < 2; ++run) {
    std::FILE* f = OpenOwnFile("own.log", OwnFile::kAppend);
    ASSERT_NE(f, nullptr);
    std::fputs("line\n", f);
    std::fclose(f);
  }
  EXPECT_EQ(ReadFile("own.log"), "line\nline\n");
  // The start folder stays the log's folder after the working folder moves.
  PinStartFolder();
  fs::create_directory("Model");
  fs::current_path("Model");
  std::FILE* f = OpenOwnFileInStartFolder("start.log", OwnFile::kAppend);
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(fs::exists(dir.path() / "start.log"));
  EXPECT_FALSE(fs::exists("start.log"));
}

TEST(Outputs, WhatStandsUnderTheNameKeepsWhatItIs) {
  TempWorkDir dir;
  // A link keeps its link and its target gets the contents.
  fs::create_directory("real");
  WriteFile("real/target.mca", "old");
  fs::create_symlink("real/target.mca", "link.mca");
  ASSERT_TRUE(WriteOutput("link.mca", "new"));
  EXPECT_TRUE(fs::is_symlink("link.mca"));
  EXPECT_EQ(ReadFile("real/target.mca"), "new");
  // A replaced file keeps its permission bits; a new one gets the umask's.
  WriteFile("private.mca", "old");
  fs::permissions("private.mca", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(WriteOutput("private.mca", "new"));
  EXPECT_EQ(fs::status("private.mca").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  // A replaced file is replaced, not rewritten: its other names keep the old contents.
  fs::create_hard_link("private.mca", "second-name.mca");
  ASSERT_TRUE(WriteOutput("private.mca", "newer"));
  EXPECT_EQ(ReadFile("private.mca"), "newer");
  EXPECT_EQ(ReadFile("second-name.mca"), "new");
  const mode_t mask = umask(022);
  ASSERT_TRUE(WriteOutput("fresh.mca", "x"));
  umask(mask);
  EXPECT_EQ(fs::status("fresh.mca").permissions() & fs::perms::all, static_cast<fs::perms>(0644));
  // A FIFO is written directly to its reader and stays a FIFO.
  ASSERT_EQ(mkfifo("out.fifo", 0600), 0);
  std::string read;
  std::thread reader([&] { read = ReadFile(dir.path() / "out.fifo"); });
  EXPECT_TRUE(WriteOutput("out.fifo", "through the pipe"));
  reader.join();
  EXPECT_EQ(read, "through the pipe");
  EXPECT_TRUE(fs::is_fifo("out.fifo"));
  // A device is written directly; a folder is refused.
  EXPECT_TRUE(WriteOutput("/dev/null", "x"));
  EXPECT_FALSE(WriteOutput("/dev/full", "x"));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  // The type decides, not where the name points: a regular file reached
  // through /proc/ is replaced whole (its other name keeps the old text);
  // so is a descriptor's regular file, unless it was opened for appending.
  WriteFile("proc.mca", "a longer old text");
  fs::create_hard_link("proc.mca", "proc-second.mca");
  ASSERT_TRUE(WriteOutput("/proc/self/cwd/proc.mca", "new"));
  EXPECT_EQ(ReadFile("proc.mca"), "new");
  EXPECT_EQ(ReadFile("proc-second.mca"), "a longer old text");
  for (const int flags : {O_WRONLY, O_WRONLY | O_APPEND}) {
    WriteFile("held.mca", "old text");
    const int fd = ::open("held.mca", flags | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(WriteOutput("/dev/fd/" + std::to_string(fd), "new"));
    ::close(fd);
    EXPECT_EQ(ReadFile("held.mca"), flags & O_APPEND ? "old textnew" : "new");
  }
  fs::create_directory("folder.mca");
  EXPECT_FALSE(WriteOutput("folder.mca", "x"));
  // Output names are exact: no case-insensitive lookup turns "A.mpd" into "a.mpd".
  WriteFile("a.mpd", "lower");
  ASSERT_TRUE(WriteOutput("A.mpd", "upper"));
  EXPECT_EQ(ReadFile("a.mpd"), "lower");
  // An abandoned output leaves the old file and no temporary.
  {
    OutputFile out;
    ASSERT_TRUE(out.Open("a.mpd"));
    std::fputs("half", out.Stream());
  }
  EXPECT_EQ(ReadFile("a.mpd"), "lower");
  EXPECT_FALSE(AnyTemporary(dir.path()));
}

TEST(Names, WorkingFolderChangesFoldCaseFolderByFolderAndSayWhyTheyFail) {
  TempWorkDir dir;
  fs::create_directories("World/Model/Sub");
  WriteFile("World/file", "x");
  const struct {
    const char* name;
    int error;  // 0: entered
    const char* lands;
  } cases[] = {
      {"world\\MODEL\\sub", 0, "World/Model/Sub"},
      {"World/./model/../Model//Sub/", 0, "World/Model/Sub"},
      {"World/missing", ENOENT, nullptr},
      {"wORLD/missing/Sub", ENOENT, nullptr},
      {"World/file/Sub", ENOTDIR, nullptr},
      {"WORLD/FILE", ENOTDIR, nullptr},
      {"", ENOENT, nullptr},
  };
  for (const auto& c : cases) {
    fs::current_path(dir.path());
    errno = 0;
    const int result = _chdir(c.name);
    if (c.error == 0) {
      EXPECT_EQ(result, 0) << c.name << ": " << std::strerror(errno);
      EXPECT_EQ(fs::current_path(), dir.path() / c.lands) << c.name;
    } else {
      EXPECT_EQ(result, -1) << c.name;
      EXPECT_EQ(errno, c.error) << c.name << ": " << std::strerror(errno);
      EXPECT_EQ(fs::current_path(), dir.path()) << c.name;
    }
  }
}

// In a child: open an output over "old", write, then `end` it; the exit
// status the parent sees.
template <class End>
int InChild(End end) {
  pid_t child = fork();
  if (child == 0) {
    OutputFile out;
    if (!out.Open("out.mca")) _exit(90);
    for (int i = 0; i < 1000; ++i) std::fputs("0123456789012345678901234567890123456789\n", out.Stream());
    _exit(end(out));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

// What a host's handler does before it ends the process at a signal.
extern "C" void EndAtSignal(int signal) {
  RemoveTemporaryOutputs();
  _exit(128 + signal);
}

TEST(Outputs, SignalsAndSizeLimitsLeaveTheOldFileAndNoTemporary) {
  TempWorkDir dir;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    WriteFile("out.mca", "old");
    EXPECT_EQ(InChild([signal](OutputFile&) {
                // Opening outputs leaves the signals as they were: they are the host's.
                OutputFile second;
                if (!second.Open("second.mca")) return 91;
                struct sigaction now {};
                if (sigaction(signal, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) return 92;
                if (sigaction(SIGXFSZ, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) return 93;
                ::signal(signal, EndAtSignal);
                raise(signal);
                return 0;
              }),
              128 + signal);
    EXPECT_EQ(ReadFile("out.mca"), "old");
    EXPECT_FALSE(fs::exists("second.mca"));
    EXPECT_FALSE(AnyTemporary(dir.path())) << signal;
  }
}

}  // namespace
