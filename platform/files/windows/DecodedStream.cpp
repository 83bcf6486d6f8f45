// Text with a byte-order mark read as code page 949 on Windows. The C
// runtime has no custom streams, so the text is decoded block by block into
// a temporary file (deleted when the stream is closed) and that file is the
// stream: constant memory, whatever the file's size. The rules are Linux's:
// a malformed unit becomes '?', a character without a code page 949 form is
// carried as its UTF-8 bytes.
#include "platform/files/DecodedStream.h"

#include <windows.h>
#include <io.h>

#include <string>

namespace tarn::files::detail {
namespace {

// One character in code page 949, or its UTF-8 bytes when it has no form.
void AppendCharacter(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
    return;
  }
  wchar_t units[2];
  int count = 1;
  if (cp >= 0x10000) {
    units[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    count = 2;
  } else {
    units[0] = static_cast<wchar_t>(cp);
  }
  char bytes[8];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, &usedDefault);
  if (n > 0 && !usedDefault)
    out.append(bytes, static_cast<std::size_t>(n));
  else
    codepage::AppendUtf8(out, cp);
}

// A temporary file that the C runtime deletes when it is closed.
std::FILE* TemporaryStream() {
  char folder[MAX_PATH + 1];
  char path[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > sizeof folder || GetTempFileNameA(folder, "trn", 0, path) == 0) return nullptr;
  std::FILE* f = std::fopen(path, "w+bTD");
  if (f == nullptr) DeleteFileA(path);
  return f;
}

}  // namespace

std::FILE* OpenDecodedStream(int fd, std::size_t mark, codepage::TextEncoding encoding) {
  std::FILE* out = TemporaryStream();
  if (out == nullptr) {
    _close(fd);
    return nullptr;
  }
  const codepage::TextDecoder decoder(encoding);
  std::string raw, text;
  std::u32string characters;
  char block[16384];
  for (;;) {
    const int got = _read(fd, block, sizeof block);
    if (got < 0) {
      std::fclose(out);
      _close(fd);
      return nullptr;
    }
    raw.append(block, static_cast<std::size_t>(got));
    const std::size_t skipped = mark < raw.size() ? mark : raw.size();
    raw.erase(0, skipped);
    mark -= skipped;
    characters.clear();
    raw.erase(0, decoder.Decode(raw, got == 0, characters));
    text.clear();
    for (char32_t c : characters) AppendCharacter(text, c);
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
      std::fclose(out);
      _close(fd);
      return nullptr;
    }
    if (got == 0) break;
  }
  _close(fd);
  std::rewind(out);
  return out;
}

}  // namespace tarn::files::detail
