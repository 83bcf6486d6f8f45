#include "tool/ToolDocument.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files/AnsiFile.h"
#include "tool/ToolMessages.h"
#include "tool/ToolTexts.h"

namespace tarn::tool {
namespace {

constexpr DWORD kOldDialogSize = 76;  // the OPENFILENAME size the tool passes
constexpr std::size_t kNameBuffer = 512;

// One dialog's buffers: filter pairs with their NULs, name and title.
struct DialogBuffers {
  char filter[600];
  char file[kNameBuffer];
  char fileTitle[kNameBuffer];
  char defaultExtension[64];
  OPENFILENAMEA dialog;
};

// Fills d for one filter pair; the preset name and the default extension as given.
void PrepareDialog(DialogBuffers& b, HWND owner, const char* title, const char* description, const char* pattern,
                   const char* preset, const char* defaultExtension) {
  std::memset(&b, 0, sizeof b);
  int n = std::snprintf(b.filter, sizeof b.filter - 2, "%s", description);
  if (n < 0) n = 0;
  std::size_t at = static_cast<std::size_t>(n) + 1 < sizeof b.filter - 2 ? static_cast<std::size_t>(n) + 1 : 0;
  std::snprintf(b.filter + at, sizeof b.filter - at - 1, "%s", pattern);  // the list ends with "\0\0" (zeroed)
  std::snprintf(b.file, sizeof b.file, "%s", preset);
  std::snprintf(b.defaultExtension, sizeof b.defaultExtension, "%s", defaultExtension);
  OPENFILENAMEA& d = b.dialog;
  d.lStructSize = kOldDialogSize;
  d.hwndOwner = owner;
  d.lpstrFilter = b.filter;
  d.nFilterIndex = 1;
  d.lpstrFile = b.file;
  d.nMaxFile = kNameBuffer;
  d.lpstrFileTitle = b.fileTitle;
  d.nMaxFileTitle = kNameBuffer;
  d.lpstrInitialDir = nullptr;
  d.lpstrTitle = title;
  d.Flags = OFN_FILEMUSTEXIST;
  d.lpstrDefExt = b.defaultExtension;
}

// The settings LoadFile and SaveFile share; they differ in the default
// extension's dot.
void PrepareCommandDialog(DialogBuffers& b, HWND owner, const char* title, const char* extension, bool save) {
  std::string description = Format("%s File (*.%s)", title, extension);
  std::string pattern = Format("*.%s", extension);
  std::string defaultExtension = Format(save ? "%s" : ".%s", extension);
  PrepareDialog(b, owner, title, description.c_str(), pattern.c_str(), pattern.c_str(), defaultExtension.c_str());
}

void SaveMesh(ToolDocument* d) {
  d->meshConverter.SetOwnerWindow(d->ownerWindow);
  d->meshConverter.ConvertMeshes(d->meshConverter.AsePath().c_str());
}

using Action = void (*)(ToolDocument*);
// Indexed by identifier - 40004.
constexpr Action kCommands[21] = {
    [](ToolDocument* d) { d->exitRequest = 1; },                           // 40004 File > Exit
    [](ToolDocument* d) { d->lists.ShowBipedList(); },                     // 40005 View > Biped, List > Biped List
    nullptr,                                                               // 40006 Edit > Motion
    nullptr,                                                               // 40007
    nullptr,                                                               // 40008
    [](ToolDocument* d) { d->lists.ShowPhysiqueList(); },                  // 40009
    [](ToolDocument* d) { d->lists.ShowAnimationList(); },                 // 40010
    [](ToolDocument* d) { d->lists.ShowCharacterList(); },                 // 40011
    [](ToolDocument* d) { LoadFile(d, "ASE Loader", "ase", 1); },          // 40012
    [](ToolDocument* d) { LoadFile(d, "Animation Loader", "mca", 2); },    // 40013
    [](ToolDocument* d) { LoadFile(d, "Physique Loader", "mpd", 3); },     // 40014
    [](ToolDocument* d) { LoadFile(d, "Character Mesh Loader", "mcm", 4); },  // 40015
    [](ToolDocument* d) { SaveFile(d, "Animaiotn Save", "mca", 1); },      // 40016
    [](ToolDocument* d) { SaveFile(d, "Physique Save", "mpd", 2); },       // 40017
    [](ToolDocument* d) { SaveFile(d, "Character Mesh Save", "mcm", 3); },  // 40018
    nullptr,                                                               // 40019
    nullptr,                                                               // 40020
    nullptr,                                                               // 40021
    nullptr,                                                               // 40022 (toolbar button)
    [](ToolDocument* d) { SaveCharacterFile(d, "Character File Save", "chr"); },  // 40023
    SaveMesh,                                                              // 40024
};

}  // namespace

void DispatchCommand(ToolDocument* document, int command) {
  if (document == nullptr || command < kCmdExit || command > kCmdSaveMesh) return;
  if (Action action = kCommands[command - kCmdExit]) action(document);
}

int LoadFile(ToolDocument* d, const char* title, const char* extension, int kind) {
  DialogBuffers b;
  PrepareCommandDialog(b, d->ownerWindow, title, extension, false);
  if (GetOpenFileNameA(&b.dialog) == 0) return 0;
  std::FILE* file = files::AnsiFopen(b.fileTitle, "rt");
  if (file == nullptr) {
    ShowCannotOpen(d->ownerWindow, b.fileTitle, files::LastErrorText());
    return 0;
  }
  if (kind == 1) {
    d->converter.SetInput(b.fileTitle, b.file);
    d->meshConverter.SetAseFile(b.fileTitle, b.file);
  } else if (kind == 2) {
    MessageBoxA(d->ownerWindow, texts::kLoadSucceeded, texts::kLoadCaption, MB_OK);
  }
  std::fclose(file);
  return 0;
}

int SaveFile(ToolDocument* d, const char* title, const char* extension, int kind) {
  DialogBuffers b;
  PrepareCommandDialog(b, d->ownerWindow, title, extension, true);
  if (GetSaveFileNameA(&b.dialog) == 0) return 0;
  d->converter.SetOwnerWindow(d->ownerWindow);
  if (kind >= 1 && kind <= 3) d->converter.RunConversion(b.fileTitle, kind);
  return 0;
}

int SaveCharacterFile(ToolDocument* d, const char*, const char*) {
  struct Step {
    bool save;
    const char* title;
    const char* description;
    const char* pattern;
    const char* defaultExtension;
  };
  static const Step kSteps[5] = {
      {false, "Open ASE File", "ASE File (*.ASE)", "*.ase", ".ASE"},
      {false, "Open MPD File", "Physique  File (*.mpd)", "*.mpd", ".MPD"},
      {false, "Open MCA File", "Motion Data  File (*.mca)", "*.mca", ".MCA"},
      {false, "Open Bitmap File", "Bitmap File (*.BMP)", "*.bmp", ".BMP"},
      {true, "SAVE CHR File", texts::kCharacterFilter, "*.chr", ".chr"},
  };
  std::string names[5];
  for (int i = 0; i < 5; ++i) {
    const Step& s = kSteps[i];
    DialogBuffers b;
    PrepareDialog(b, d->ownerWindow, s.title, s.description, s.pattern, s.pattern, s.defaultExtension);
    BOOL ok = s.save ? GetSaveFileNameA(&b.dialog) : GetOpenFileNameA(&b.dialog);
    if (ok == 0) return 0;
    names[i] = b.fileTitle;
  }
  std::string reason;
  bool outputIsInput = false;
  if (!WriteCharacterFile(names[4], names[0], names[1], names[2], names[3], &reason, &outputIsInput)) {
    if (outputIsInput)
      ShowOutputIsInput(d->ownerWindow, names[4]);
    else
      ShowCannotWrite(d->ownerWindow, names[4], reason);
    return 0;
  }
  return 1;
}

}  // namespace tarn::tool
