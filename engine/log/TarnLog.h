// The run's log, "Tarn.log": the device set-up's "Succed: "/"Error: " lines
// and the loaders' "Error: " lines go through one writer, which opens the
// file for each line and closes it again, so that a crash loses nothing
// already written and two runs append to one file.
//
// Choices of ours:
//   - the log is the "Tarn.log" of the folder the program started in
//     (FixLogFolder, called on entry), whatever folder a loader has entered
//     since, so a run's lines never scatter over Model/, floor/ and texture/;
//   - a world folder is someone else's data: a "Tarn.log" that is a symbolic
//     link, a FIFO, a device or a second name of another file is not written
//     through; the run goes on without its log, and says so once on stderr;
//   - on Linux the log's text is UTF-8, converted from the system's code page
//     949 as it is written, as file names and window titles are, so that cat
//     and grep read it; the Windows build writes the code page 949 bytes;
//   - the "Error: " lines of the loaders (not the device set-up's, whose
//     "Error: Create BackBuffer" is in every healthy run) are counted, so
//     that start-up can tell the person at the terminal what the log holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/files/AnsiFile.h"

// The current working folder becomes the log's folder for the rest of the
// run. Until it is called, lines go to the working folder's "Tarn.log".
void FixLogFolder();
// The log's folder as a full path ("" when it cannot be named).
std::string LogFolder();

// Appends "<prefix><text>\n" to "Tarn.log". A log that cannot be opened
// (safely) loses the line.
void AppendTarnLog(const char* prefix, const char* text);

// Appends "Succed: <text>\n" (code 0) or "Error: <text>\n" (any other code).
// The text is formatted printf-style into 256 bytes (cut to fit). Returns 1
// for code 0, else 0.
int WriteLog(std::int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends "Error: <text>\n" and counts it as a problem of the run.
void AppendTarnLogError(const char* text);

// The problems logged so far in this run: how many, and the first one's text.
struct LogProblems {
  int count = 0;
  std::string first;
};
const LogProblems& RunProblems();
// Writes to `out`, when problems were logged, one line:
// "<program>: N problems loading the world, first: <text>; see <folder>/Tarn.log"
// (<folder> is the log's folder as a full path, where one is known).
void SayLoadProblems(std::FILE* out);
// The name the summary starts with (the program's); "tarnview" by default.
void SetLogProgramName(const char* name);
// The log's folder from now on is `folder` (a host path), whatever folder
// FixLogFolder later finds itself in: for a world folder that is not ours to
// write (the installed sample). False (errno set) when it cannot be entered.
bool UseLogFolder(const char* folder);
// The program's own file `name` (platform/files/AnsiFile.h OpenOwnFile) in
// the working folder, or in the log's folder once UseLogFolder has chosen it.
std::FILE* OpenBesideLog(const char* name, tarn::files::OwnFile mode);

// Where the loaders send their "Error: " lines (the text without the
// prefix): a sink of the caller's, or "Tarn.log" when write is null. Lines
// are formatted into 1024 bytes: they carry file names and line numbers.
// A loader that reads a file named by another's line hands it a log
// Within("<file> line <n>: "), so that its lines say where they came from.
struct LoadLog {
  void* context = nullptr;
  void (*write)(void* context, const char* text) = nullptr;
  const char* prefix = nullptr;  // not owned: outlives the log's use

  void Error(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  // The same sink with the lines starting with outerPrefix.
  LoadLog Within(const char* outerPrefix) const;
};
