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

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

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
    AppendUtf8(out, cp);
}

// Decodes what is whole in `raw` (all of it at the end), leaving a cut
// character for the next block.
class Decoder {
 public:
  explicit Decoder(TextEncoding encoding) : encoding_(encoding) {}

  void Decode(std::string& raw, bool end, std::string& out) {
    std::size_t i = 0;
    const std::size_t n = raw.size();
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(raw[k]); };
    if (encoding_ == TextEncoding::kUtf8) {
      while (i < n) {
        const unsigned b = byte(i);
        std::size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0) {
          out.push_back('?');
          ++i;
          continue;
        }
        if (i + length > n) {
          if (!end) break;
        }
        unsigned cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = i + length <= n;
        for (std::size_t k = 1; ok && k < length; ++k) {
          if ((byte(i + k) & 0xC0) != 0x80) ok = false;
          else cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        static const unsigned kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
          out.push_back('?');
          ++i;
          continue;
        }
        AppendCharacter(out, cp);
        i += length;
      }
    } else {
      const bool little = encoding_ == TextEncoding::kUtf16Le;
      auto unit = [&](std::size_t k) {
        return little ? byte(k) | (byte(k + 1) << 8) : (byte(k) << 8) | byte(k + 1);
      };
      while (i + 2 <= n) {
        const unsigned u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
          if (i + 4 > n && !end) break;
          if (i + 4 <= n) {
            const unsigned low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
              AppendCharacter(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
              i += 4;
              continue;
            }
          }
          out.push_back('?');
          i += 2;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
          out.push_back('?');
          i += 2;
        } else {
          AppendCharacter(out, u);
          i += 2;
        }
      }
      if (end && i < n) {  // half a unit at the very end
        out.push_back('?');
        i = n;
      }
    }
    raw.erase(0, i);
  }

 private:
  TextEncoding encoding_;
};

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

std::FILE* OpenDecodedStream(int fd, TextEncoding encoding) {
  std::FILE* out = TemporaryStream();
  if (out == nullptr) {
    _close(fd);
    return nullptr;
  }
  Decoder decoder(encoding);
  std::string raw, text;
  char block[16384];
  for (;;) {
    const int got = _read(fd, block, sizeof block);
    if (got < 0) {
      std::fclose(out);
      _close(fd);
      return nullptr;
    }
    raw.append(block, static_cast<std::size_t>(got));
    text.clear();
    decoder.Decode(raw, got == 0, text);
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
