#include "engine/log/TarnLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/files/AnsiFile.h"
#if !defined(_WIN32)
#include "platform/codepage/Cp949.h"
#endif

namespace {

LogProblems problems;
std::string programName = "tarnview";
std::string logFolder;      // the log's folder, as the system names it
bool logFolderChosen = false;  // UseLogFolder wins over FixLogFolder

// What the log and the terminal are given: UTF-8 on Linux.
std::string HostText(const std::string& text) {
#if defined(_WIN32)
  return text;
#else
  return tarn::codepage::Cp949ToUtf8(text);
#endif
}

std::string WorkingFolderName() {
  // Names of any length: ask with a growing buffer.
  for (int size = 4096; size <= (1 << 22); size *= 4) {
    std::string buffer(static_cast<std::size_t>(size), '\0');
    if (_getcwd(buffer.data(), size) != nullptr) return buffer.c_str();
  }
  return {};
}

}  // namespace

void FixLogFolder() {
  if (logFolderChosen) return;
  tarn::files::PinStartFolder();
  logFolder = WorkingFolderName();
}

std::string LogFolder() { return logFolder.empty() ? WorkingFolderName() : logFolder; }

bool UseLogFolder(const char* folder) {
  if (!tarn::files::PinStartFolderAt(folder)) return false;
  logFolder = folder;
#if !defined(_WIN32)
  logFolder = tarn::codepage::Utf8ToCp949(logFolder);
#endif
  logFolderChosen = true;
  return true;
}

std::FILE* OpenBesideLog(const char* name, tarn::files::OwnFile mode) {
  return logFolderChosen ? tarn::files::OpenOwnFileInStartFolder(name, mode) : tarn::files::OpenOwnFile(name, mode);
}

void AppendTarnLog(const char* prefix, const char* text) {
  std::FILE* log = tarn::files::OpenOwnFileInStartFolder("Tarn.log", tarn::files::OwnFile::kAppend);
  if (log == nullptr) {
    // Said once: a run whose log is a planted link would say it on every line.
    static bool told = false;
    if (!told) std::fprintf(stderr, "Tarn.log: %s; the log is not written\n", tarn::files::LastErrorText().c_str());
    told = true;
    return;
  }
  std::fprintf(log, "%s%s\n", prefix, HostText(text).c_str());
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

void AppendTarnLogError(const char* text) {
  if (problems.count++ == 0) problems.first = text;
  AppendTarnLog("Error: ", text);
}

const LogProblems& RunProblems() { return problems; }

void SetLogProgramName(const char* name) { programName = name != nullptr ? name : ""; }

void SayLoadProblems(std::FILE* out) {
  if (problems.count == 0) return;
  const std::string folder = LogFolder();
  const std::string where = folder.empty() ? std::string("Tarn.log")
                            : folder.back() == '/' || folder.back() == '\\' ? folder + "Tarn.log"
                                                                             : folder + "/Tarn.log";
  std::fprintf(out, "%s: %d problem%s loading the world, first: %s; see %s\n", programName.c_str(), problems.count,
               problems.count == 1 ? "" : "s", HostText(problems.first).c_str(), HostText(where).c_str());
}

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
