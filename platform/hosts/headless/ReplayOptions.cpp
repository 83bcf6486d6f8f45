// Parsing tarnview-replay's command line.
#include "platform/hosts/headless/ReplayOptions.h"

#include <charconv>
#include <cstring>

namespace tarn::hosts {
namespace {

bool WholeNumber(const std::string& text, std::int64_t& value, std::int64_t least, std::int64_t most) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && !text.empty() && value >= least && value <= most;
}

}  // namespace

const char* ReplayUsage() {
  return "usage: tarnview-replay [--frames N] [--input FILE] [--shot FILE.png]\n"
         "                       [--shots DIR [--every K]] [--clock real|virtual[:MS]] [--stats]\n"
         "                       [--export FILE.glb] [--unlit] [FOLDER]\n"
         "Runs the engine in FOLDER (default: the current directory; tarn.cfg, exam.map)\n"
         "without a display. Names of files given to options are taken from where it\n"
         "started. Problems met while loading go to Tarn.log there (for the installed\n"
         "sample or a folder you cannot write, $XDG_STATE_HOME/tarn/Tarn.log), and their\n"
         "count and the first one to standard error.\n"
         "  --frames N        frames to draw (wins over the script's length; default: the\n"
         "                    script's last frame + 1, or 1 without a script)\n"
         "  --input FILE      input script: lines \"FIRST[-LAST] ITEM...\", items W A S D Q Up\n"
         "                    Down Left Right LShift Escape dik=N lmb rmb dx=N dy=N, # comments\n"
         "  --shot FILE.png   the last presented frame as PNG\n"
         "  --shots DIR       every K-th frame as DIR/frame-NNNNNN.png (--every K, default 1)\n"
         "  --clock MODE      real (default) or virtual[:MS], MS milliseconds per frame (16)\n"
         "  --stats           print the loaded world's object and texture lines\n"
         "  --export FILE.glb the loaded world as binary glTF 2.0, written once it has loaded\n"
         "  --unlit           draw without fog and in full ambient light: texture colour only,\n"
         "                    as a glTF viewer shows the export with unlit materials\n"
         "  --help, --version this text; the version\n"
         "At exit prints \"frames N\", \"seconds S\", \"fps F\" and \"camera X Y Z\".\n";
}

bool ParseReplayOptions(int argc, const char* const* argv, ReplayOptions& options, std::string& error) {
  bool everyGiven = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      // The world's folder, as tarnview takes it ("--" lets it start with a dash).
      if (!options.folder.empty()) {
        error = "one folder at most (\"" + options.folder + "\" and \"" + arg + "\")";
        return false;
      }
      if (arg.empty()) {
        error = "the folder name is empty";
        return false;
      }
      options.folder = arg;
      continue;
    }
    std::string text;
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--frames") {
      if (!value(text)) return false;
      if (!WholeNumber(text, options.frames, 0, INT32_MAX)) {
        error = "--frames takes a whole number from 0 to 2147483647, not \"" + text + "\"";
        return false;
      }
    } else if (arg == "--input") {
      if (!value(options.inputPath)) return false;
    } else if (arg == "--shot") {
      if (!value(options.shotPath)) return false;
    } else if (arg == "--shots") {
      if (!value(options.shotsDir)) return false;
    } else if (arg == "--every") {
      if (!value(text)) return false;
      if (!WholeNumber(text, options.every, 1, INT32_MAX)) {
        error = "--every takes a whole number from 1, not \"" + text + "\"";
        return false;
      }
      everyGiven = true;
    } else if (arg == "--clock") {
      if (!value(text)) return false;
      if (text == "real") {
        options.virtualClock = false;
      } else if (text == "virtual") {
        options.virtualClock = true;
      } else if (text.rfind("virtual:", 0) == 0) {
        std::int64_t ms = 0;
        if (!WholeNumber(text.substr(8), ms, 0, 86400000)) {
          error = "--clock virtual:MS takes milliseconds from 0 to 86400000, not \"" + text + "\"";
          return false;
        }
        options.virtualClock = true;
        options.millisecondsPerFrame = static_cast<std::uint32_t>(ms);
      } else {
        error = "--clock is real or virtual[:MS], not \"" + text + "\"";
        return false;
      }
    } else if (arg == "--stats") {
      options.stats = true;
    } else if (arg == "--unlit") {
      options.unlit = true;
    } else if (arg == "--export") {
      if (!value(options.exportPath)) return false;
      if (options.exportPath.empty()) {
        error = "--export needs a file name";
        return false;
      }
    } else {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (everyGiven && options.shotsDir.empty()) {
    error = "--every needs --shots DIR";
    return false;
  }
  return true;
}

}  // namespace tarn::hosts
