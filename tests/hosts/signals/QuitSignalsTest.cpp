// The hosts' hold on SIGINT, SIGTERM and SIGHUP: how each ending treats the
// outputs being written, a second signal, a signal ignored at the start, and
// SIGXFSZ, which it ignores while it holds.
// Every case runs in a child, since dispositions belong to the process.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/files/OutputFile.h"
#include "platform/hosts/signals/QuitSignals.h"
#include "tests/common/TempDir.h"

namespace fs = std::filesystem;
using tarn::files::OutputFile;
using tarn::hosts::QuitSignals;
using tarn::test::ReadFile;
using tarn::test::TempWorkDir;
using tarn::test::WriteFile;

namespace {

bool AnyTemporary() {
  for (const auto& e : fs::directory_iterator("."))
    if (e.path().filename().string().find(".part") != std::string::npos) return true;
  return false;
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return fd >= 0 && poll(&p, 1, 0) == 1;
}

// Runs `body` in a child with an output open over "out.mca" (which holds
// "old"); the child's exit status, or 200 + the signal that killed it.
int InChild(const std::function<int(OutputFile&)>& body) {
  WriteFile("out.mca", "old");
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    int code = 90;
    {
      OutputFile out;
      if (out.Open("out.mca")) {
        std::fputs("new\n", out.Stream());
        std::fflush(out.Stream());
        code = body(out);
      }
    }
    _exit(code);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

// For each quit signal, `body` (given the signal) runs in a child as InChild
// has it; the child must end at the signal, with 128 + the signal, and leave
// the old file and no temporary.
void ExpectEachSignalEndsTheChild(const std::function<int(int)>& body) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EQ(InChild([&](OutputFile&) { return body(signal); }), 128 + signal);
    EXPECT_EQ(ReadFile("out.mca"), "old") << signal;
    EXPECT_FALSE(AnyTemporary()) << signal;
  }
}

TEST(QuitSignals, EndingNowRemovesTheTemporariesAndExitsWith128PlusTheSignal) {
  TempWorkDir dir;
  ExpectEachSignalEndsTheChild([](int signal) {
    QuitSignals signals(QuitSignals::Ending::kNow);
    if (!signals.Holding() || !signals.Owns(signal)) return 91;
    raise(signal);
    return 92;
  });
}

TEST(QuitSignals, TheQuitPathTakesTheFirstSignalAndASecondEndsNow) {
  TempWorkDir dir;
  ExpectEachSignalEndsTheChild([](int signal) {
    QuitSignals signals(QuitSignals::Ending::kQuitPath);
    if (Readable(signals.WakeDescriptor()) || signals.Take() != 0) return 91;
    raise(signal);
    // Noted, not acted on: the loop takes it, the output is still being written.
    if (!Readable(signals.WakeDescriptor())) return 92;
    if (signals.Take() != signal || signals.Take() != 0) return 93;
    if (Readable(signals.WakeDescriptor()) || !AnyTemporary()) return 94;
    raise(signal);
    return 95;
  });
}

TEST(QuitSignals, IgnoredStaysIgnoredOneHoldsAtATimeAndTheOldHandlersComeBack) {
  TempWorkDir dir;
  EXPECT_EQ(InChild([](OutputFile& out) {
              ::signal(SIGHUP, SIG_IGN);
              {
                QuitSignals signals(QuitSignals::Ending::kNow);
                QuitSignals second(QuitSignals::Ending::kQuitPath);
                if (!signals.Holding() || second.Holding() || second.Owns(SIGINT)) return 91;
                if (signals.Owns(SIGHUP) || !signals.Owns(SIGINT) || !signals.Owns(SIGTERM)) return 92;
                raise(SIGHUP);  // as nohup meant
              }
              struct sigaction now {};
              sigaction(SIGINT, nullptr, &now);
              if (now.sa_handler != SIG_DFL) return 93;
              sigaction(SIGHUP, nullptr, &now);
              if (now.sa_handler != SIG_IGN) return 94;
              // Free again: the next host holds them.
              QuitSignals next(QuitSignals::Ending::kQuitPath);
              if (!next.Holding()) return 95;
              return out.Commit() ? 0 : 96;
            }),
            0);
  EXPECT_EQ(ReadFile("out.mca"), "new\n");
  EXPECT_FALSE(AnyTemporary());
}

// The host ignores SIGXFSZ while it holds, so that an output past the size
// limit fails instead of killing the program, and gives it back after.
TEST(QuitSignals, ASizeLimitFailsTheOutputWhileHeldAndTheSignalComesBack) {
  TempWorkDir dir;
  EXPECT_EQ(InChild([](OutputFile& out) {
              bool committed;
              {
                QuitSignals signals(QuitSignals::Ending::kNow);
                rlimit limit{1024, 1024};
                setrlimit(RLIMIT_FSIZE, &limit);
                std::fputs(std::string(4096, 'x').c_str(), out.Stream());
                committed = out.Commit();
              }
              struct sigaction now {};
              sigaction(SIGXFSZ, nullptr, &now);
              if (now.sa_handler != SIG_DFL) return 92;
              return committed ? 91 : 0;
            }),
            0);
  EXPECT_EQ(ReadFile("out.mca"), "old");
  EXPECT_FALSE(AnyTemporary());
}

}  // namespace
