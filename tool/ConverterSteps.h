// The steps every converter takes alike: a progress clock over the input it
// reads, and the one path each output file takes (opened, filled through a
// TextSink, flushed, committed), so that every converter reports the same
// failures with the same reasons.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "formats/LineReader.h"
#include "tool/Progress.h"
#include "tool/TextSink.h"

namespace tarn::tool {

// Reports every kProgressStep bytes while the input is read, and at Finish
// all that was read, so that a progress line ends at all of the input. A
// conversion that stops early does not call Finish: its line ends where the
// reading stopped.
class ProgressClock {
 public:
  ProgressClock(const formats::LineReader& in, const ProgressHook& hook) : in_(in), hook_(hook) {}
  ProgressClock(const ProgressClock&) = delete;
  ProgressClock& operator=(const ProgressClock&) = delete;

  void Tick() {
    if (hook_ && in_.Consumed() >= next_) {
      hook_(in_.Consumed());
      next_ = in_.Consumed() + kProgressStep;
    }
  }
  void Finish() {
    if (hook_) hook_(in_.Consumed());
  }

 private:
  const formats::LineReader& in_;
  const ProgressHook& hook_;
  std::size_t next_ = kProgressStep;
};

// Where writing an output stopped, with the system's reason.
struct WriteOutcome {
  enum Step { kCommitted, kNotOpened, kNotWritten, kInputFailed, kNotCommitted };
  Step step = kCommitted;
  std::string reason;
  bool Committed() const { return step == kCommitted; }
};

// Opens `name` as a files::OutputFile, lets `fill` write into it and commits
// it: the file appears whole under its name or not at all. When `input` is
// given and shows a read error once `fill` has returned, the file is not
// committed, since it holds a conversion of part of the input only.
WriteOutcome WriteAndCommit(const std::string& name, const std::function<void(TextSink&)>& fill,
                            std::FILE* input = nullptr);

}  // namespace tarn::tool
