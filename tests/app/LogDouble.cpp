// WriteLog for the shell tests while they link no device: the same lines,
// appended to "Tarn.log" in the working directory.
#include <cstdarg>
#include <cstdio>

#include "engine/render/EngineDevice.h"

int WriteLog(std::int32_t code, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (std::FILE* log = std::fopen("Tarn.log", "a")) {
    std::fprintf(log, code != 0 ? "Error: %s\n" : "Succed: %s\n", text);
    std::fclose(log);
  }
  return code == 0 ? 1 : 0;
}
