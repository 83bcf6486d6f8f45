// The run's log, "Tarn.log": the device set-up's "Succed: "/"Error: " lines
// and the loaders' "Error: " lines go through one writer, which opens the
// file for each line and closes it again, so that a crash loses nothing
// already written and two runs append to one file.
#pragma once

#include <cstdint>

// Appends "<prefix><text>\n" to "Tarn.log" in the working directory. A log
// that cannot be opened loses the line.
void AppendTarnLog(const char* prefix, const char* text);

// Appends "Succed: <text>\n" (code 0) or "Error: <text>\n" (any other code).
// The text is formatted printf-style into 256 bytes (cut to fit). Returns 1
// for code 0, else 0.
int WriteLog(std::int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Appends "Error: <text>\n".
void AppendTarnLogError(const char* text);

// Where the loaders send their "Error: " lines (the text without the
// prefix): a sink of the caller's, or "Tarn.log" when write is null. Lines
// are formatted into 512 bytes: they carry file names and line numbers.
struct LoadLog {
  void* context = nullptr;
  void (*write)(void* context, const char* text) = nullptr;

  void Error(const char* format, ...) const __attribute__((format(printf, 2, 3)));
};
