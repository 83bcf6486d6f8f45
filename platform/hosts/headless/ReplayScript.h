// ReplayScript: the input script of tarnview-replay.
//
// One entry per line; '#' starts a comment; blank lines are skipped. An
// entry is FIRST[-LAST] ITEM... over frame numbers counted from 0 (both
// ends included). An item is
//   - a held key: W A S D Q Up Down Left Right LShift Escape (names match
//     without regard to case), or dik=N for any scan code 0-255;
//   - a held button: lmb, rmb;
//   - a mouse motion applied in each of those frames: dx=N, dy=N.
// Entries that cover the same frame add up (keys and buttons held by any,
// motions summed). What no entry names for a frame is up or still.
// Lines are read through the common line reader, so a line longer than 255
// characters arrives in pieces (and a piece that is not an entry is an
// error).
#pragma once

#include <bitset>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tarn::hosts {

struct FrameInput {
  std::bitset<256> keys;
  bool leftButton = false;
  bool rightButton = false;
  std::int64_t dx = 0;
  std::int64_t dy = 0;
};

class ReplayScript {
 public:
  // Parses the script; false with a message naming the line on a bad entry.
  bool Parse(const char* data, std::size_t size, std::string& error);
  bool ParseFile(const char* path, std::string& error);

  // The input of one frame.
  FrameInput At(std::int64_t frame) const;
  // The highest frame any entry names, -1 for an empty script.
  std::int64_t LastFrame() const { return lastFrame_; }
  bool Empty() const { return entries_.empty(); }

 private:
  struct Entry {
    std::int64_t first, last;
    FrameInput input;
  };
  bool ParseLine(std::string_view line, long long number, std::string& error);
  std::vector<Entry> entries_;
  std::int64_t lastFrame_ = -1;
};

// The scan code of a key name of the script, or -1.
int KeyCodeByName(std::string_view name);

}  // namespace tarn::hosts
