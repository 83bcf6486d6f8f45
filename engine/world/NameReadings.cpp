#include "engine/world/NameReadings.h"

#include <string_view>

#include "platform/files/AnsiFile.h"
#if !defined(_WIN32)
#include "platform/codepage/Cp949.h"
#endif

namespace {

bool BeyondAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

#if !defined(_WIN32)
bool WholeUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t n = tarn::codepage::Utf8SequenceLength(text);
    if (n == 0) return false;
    text.remove_prefix(n);
  }
  return true;
}
#endif

}  // namespace

std::string OpenableName(const char* name, const LoadLog& log) {
#if defined(_WIN32)
  (void)log;
  return name;
#else
  const std::string_view text(name);
  if (!BeyondAscii(text) || !WholeUtf8(text) || tarn::files::AnsiFileSize(name, nullptr) == 0) return name;
  // Carried into system text, the UTF-8 bytes come back unchanged at the file
  // boundary (platform/codepage/Cp949.h).
  std::string utf8 = tarn::codepage::Utf8ToCp949(text);
  if (tarn::files::AnsiFileSize(utf8.c_str(), nullptr) != 0) return name;
  log.Error("%s: no file has this name read as code page 949; opened it read as UTF-8 (\"%s\")", name, utf8.c_str());
  return utf8;
#endif
}

std::string NameReadings(const char* name) {
  if (name == nullptr || !BeyondAscii(name)) return {};
  std::string text = std::string(" (looked for as code page 949 \"") + name + "\"";
#if !defined(_WIN32)
  if (WholeUtf8(name)) return text + " and as UTF-8 \"" + tarn::codepage::Utf8ToCp949(name) + "\")";
#endif
  return text + ")";
}
