#include "engine/log/TarnLog.h"

#include <cstdarg>
#include <cstdio>

#include "platform/files/AnsiFile.h"

void AppendTarnLog(const char* prefix, const char* text) {
  std::FILE* log = tarn::files::AnsiFopen("Tarn.log", "a+t");
  if (log == nullptr) return;
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
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (write != nullptr)
    write(context, text);
  else
    AppendTarnLogError(text);
}
