// GetOpenFileNameA / GetSaveFileNameA over the host (see commdlg.h).
#include <sys/stat.h>

#include <cstring>
#include <string>

#include <windows.h>

#include "platform/files/AnsiFile.h"
#include "platform/codepage/Cp949.h"
#include "platform/win32/Host.h"

namespace {

DWORD lastError = 0;

bool IsPattern(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

BOOL RunFileDialog(LPOPENFILENAMEA d, bool save) {
  using tarn::codepage::Cp949ToUtf8;
  lastError = 0;
  if (d == nullptr || (d->lStructSize != OPENFILENAME_SIZE_VERSION_400A && d->lStructSize != sizeof(OPENFILENAMEA))) {
    lastError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (d->lpstrFile == nullptr || d->nMaxFile == 0) {
    lastError = CDERR_INITIALIZATION;
    return FALSE;
  }
  tarn::win32::Host::FileDialogRequest request;
  request.save = save;
  request.titleUtf8 = Cp949ToUtf8(d->lpstrTitle != nullptr ? d->lpstrTitle : (save ? "Save As" : "Open"));
  if (d->lpstrFilter != nullptr) {
    // Pairs of NUL-ended strings, the list ended by an empty string.
    const char* p = d->lpstrFilter;
    while (*p != '\0') {
      std::string description = p;
      p += description.size() + 1;
      if (*p == '\0') break;
      std::string pattern = p;
      p += pattern.size() + 1;
      request.filtersUtf8.emplace_back(Cp949ToUtf8(description), Cp949ToUtf8(pattern));
    }
  }
  request.filterIndex = d->nFilterIndex == 0 ? 1 : static_cast<int>(d->nFilterIndex);
  std::string preset(d->lpstrFile, strnlen(d->lpstrFile, d->nMaxFile));
  if (!IsPattern(preset)) request.initialNameUtf8 = Cp949ToUtf8(preset);
  if (d->lpstrDefExt != nullptr) {
    request.defaultExtension = Cp949ToUtf8(d->lpstrDefExt);
    while (!request.defaultExtension.empty() && request.defaultExtension[0] == '.')
      request.defaultExtension.erase(0, 1);
  }
  request.fileMustExist = !save && (d->Flags & OFN_FILEMUSTEXIST) != 0;

  std::string chosenUtf8;
  if (!tarn::win32::CurrentHost().FileDialog(d->hwndOwner, request, &chosenUtf8) || chosenUtf8.empty()) return FALSE;

  std::string path = tarn::codepage::Utf8ToCp949(chosenUtf8);
  if (path[0] != '/') {
    char cwd[4096];
    if (_getcwd(cwd, sizeof cwd) == nullptr) {
      lastError = FNERR_INVALIDFILENAME;
      return FALSE;
    }
    path = std::string(cwd) + "/" + path;
  }
  std::size_t slash = path.find_last_of("/\\");
  std::string title = path.substr(slash + 1);
  if (title.empty()) {
    lastError = FNERR_INVALIDFILENAME;
    return FALSE;
  }
  if (title.find('.') == std::string::npos && !request.defaultExtension.empty()) {
    // Appended, not built with "." + ...: g++ 12 at -O3 sees a false overlap
    // in the prepend and warns (-Wrestrict).
    std::string ext(1, '.');
    ext += tarn::codepage::Utf8ToCp949(request.defaultExtension);
    path += ext;
    title += ext;
  }
  if (request.fileMustExist) {
    struct stat st;
    if (stat(tarn::files::ResolveAnsiPath(path.c_str()).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FALSE;
  }
  if (path.size() + 1 > d->nMaxFile || (d->lpstrFileTitle != nullptr && title.size() + 1 > d->nMaxFileTitle)) {
    lastError = FNERR_BUFFERTOOSMALL;
    return FALSE;
  }
  if (!(d->Flags & OFN_NOCHANGEDIR)) {
    std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    if (_chdir(folder.c_str()) != 0) {
      lastError = FNERR_INVALIDFILENAME;
      return FALSE;
    }
  }
  std::memcpy(d->lpstrFile, path.c_str(), path.size() + 1);
  if (d->lpstrFileTitle != nullptr) std::memcpy(d->lpstrFileTitle, title.c_str(), title.size() + 1);
  d->nFileOffset = static_cast<WORD>(slash + 1);
  std::size_t dot = title.find_last_of('.');
  d->nFileExtension = static_cast<WORD>(dot == std::string::npos ? path.size() : slash + 1 + dot + 1);
  return TRUE;
}

}  // namespace

BOOL GetOpenFileNameA(LPOPENFILENAMEA dialog) { return RunFileDialog(dialog, false); }
BOOL GetSaveFileNameA(LPOPENFILENAMEA dialog) { return RunFileDialog(dialog, true); }
DWORD CommDlgExtendedError() { return lastError; }
