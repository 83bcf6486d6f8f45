#include "engine/log/TarnLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/files/AnsiFile.h"

void FixLogFolder() { tarn::files::PinStartFolder(); }

void AppendTarnLog(const char* prefix, const char* text) {
  std::FILE* log = tarn::files::OpenOwnFileInStartFolder("Tarn.log", tarn::files::OwnFile::kAppend);
  if (log == nullptr) {
    // Said once: a run whose log is a planted link would say it on every line.
    static bool told = false;
    if (!told) std::fprintf(stderr, "Tarn.log: %s; the log is not written\n", tarn::files::LastErrorText().c_str());
    told = true;
    return;
  }
  std::fprintf(log, "%s%s\n", prefix, text);
  std::fclose(log);
}

int WriteLog(std::int32_t code, const char* format, ...) {
  char text[256] = "";
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
  }
  AppendTarnLog(code != 0 ? "Error: " : "Succed: ", text);
  return code == 0 ? 1 : 0;
}

void AppendTarnLogError(const char* text) { AppendTarnLog("Error: ", text); }

void LoadLog::Error(const char* format, ...) const {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::string line = prefix != nullptr ? std::string(prefix) + text : std::string(text);
  if (write != nullptr)
    write(context, line.c_str());
  else
    AppendTarnLogError(line.c_str());
}

LoadLog LoadLog::Within(const char* outerPrefix) const {
  LoadLog inner = *this;
  inner.prefix = outerPrefix;
  return inner;
}
