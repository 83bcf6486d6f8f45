// The command line of tarnview-replay.
//
//   --frames N            draw N frames (N >= 0; 0 ends once the world has
//                         loaded, before the first frame); wins over the script's length
//   --input FILE          the input script (ReplayScript.h)
//   --shot FILE.png       write the last presented frame
//   --shots DIR --every K write every K-th presented frame (0, K, 2K, ...) as
//                         DIR/frame-NNNNNN.png (K defaults to 1)
//   --clock real|virtual[:MS]
//                         GetTickCount from the system's clock, or a virtual
//                         one that advances MS milliseconds (default 16) per
//                         presented frame, so the frame-rate text repeats
//   --stats               print the loaded world's object and texture lines
//   --export FILE.glb     write the loaded world as binary glTF 2.0, at the
//                         point where --stats reports
//   --unlit               draw without fog and in full white ambient light, so a
//                         frame shows the textures' colours as they are
//   --help, --version
//   FOLDER                the world's folder (default: the current one);
//                         after "--", a name that starts with a dash
// Without --frames and --input one frame is drawn.
#pragma once

#include <cstdint>
#include <string>

namespace tarn::hosts {

struct ReplayOptions {
  std::int64_t frames = -1;  // -1: not given
  std::string inputPath;
  std::string shotPath;
  std::string shotsDir;
  std::int64_t every = 1;
  bool virtualClock = false;
  std::uint32_t millisecondsPerFrame = 16;
  bool stats = false;
  std::string exportPath;
  bool unlit = false;
  std::string folder;  // "" : the current folder
  bool help = false;
  bool version = false;
};

// False with a message for a bad command line.
bool ParseReplayOptions(int argc, const char* const* argv, ReplayOptions& options, std::string& error);
const char* ReplayUsage();

}  // namespace tarn::hosts
