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
//     through; the run goes on without its log, and says so once on stderr.
#pragma once

#include <cstdint>

// The current working folder becomes the log's folder for the rest of the
// run. Until it is called, lines go to the working folder's "Tarn.log".
void FixLogFolder();

// Appends "<prefix><text>\n" to "Tarn.log". A log that cannot be opened
// (safely) loses the line.
void AppendTarnLog(const char* prefix, const char* text);

// Appends "Succed: <text>\n" (code 0) or "Error: <text>\n" (any other code).
// The text is formatted printf-style into 256 bytes (cut to fit). Returns 1
// for code 0, else 0.
int WriteLog(std::int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends "Error: <text>\n".
void AppendTarnLogError(const char* text);

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
