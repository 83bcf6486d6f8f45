// QuitSignals: the host's hold on SIGINT, SIGTERM and SIGHUP, from the
// host's start to its end. Each host has one; one host runs at a time. It
// also ignores SIGXFSZ while it holds: an output that passes the file-size
// limit (ulimit -f) fails with EFBIG and says so, instead of killing the
// process (platform/files/OutputFile.h).
//
// A signal that was ignored when the host started stays ignored (a program
// run under nohup keeps running when its terminal goes). The others:
//   - Ending::kNow (the command-line and scripted programs): the outputs
//     being written lose their temporary files (files::RemoveTemporaryOutputs)
//     and the process exits with 128 + the signal, from the handler;
//   - Ending::kQuitPath (the windowed programs): the signal is noted and
//     WakeDescriptor becomes readable; the host's event loop takes it (Take)
//     and closes its windows, so that the program ends through its own quit
//     path with its own status, its outputs' destructors removing their
//     temporaries. A loop that does not come back (a long conversion, a hang)
//     cannot do that, so a further signal, once one has arrived, ends the
//     process at once as kNow does.
#pragma once

namespace tarn::hosts {

class QuitSignals {
 public:
  enum class Ending { kNow, kQuitPath };

  explicit QuitSignals(Ending ending);
  // Gives the signals back to what held them before.
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  // False when another QuitSignals holds the signals already (this one then
  // does nothing).
  bool Holding() const { return holding_; }
  // Whether the signal is ours: false for one that was ignored at the start.
  bool Owns(int signal) const;
  // kQuitPath: the signal that arrived and has not been taken yet, else 0.
  int Take();
  // Readable while a signal waits to be taken; -1 when none could be made
  // (Take still answers then).
  int WakeDescriptor() const;

 private:
  bool holding_ = false;
};

}  // namespace tarn::hosts
