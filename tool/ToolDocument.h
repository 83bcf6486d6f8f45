// ToolDocument: what connects Rigwright's menu commands to its converters.
// Created once, right after the main window exists, and kept until the
// process ends. The tool holds no model in memory: only file names.
//
// Our choices (the commands themselves follow the menu table):
//   - the ASE file is kept by its bare name (for messages) and by the path it
//     was chosen at, so that a later dialog pointed at another folder does
//     not lose the input; outputs go where their dialog pointed, and model
//     files to the current folder;
//   - a Load command whose file cannot be opened reports it in an
//     "Edit Message" box and changes nothing;
//   - View, List, Edit > "Motion", File > "New" and Help > "Help" do nothing.
#pragma once

#include <windows.h>

#include "tool/CharacterConverter.h"
#include "tool/MeshConverter.h"

namespace tarn::tool {

// Menu 101's command identifiers.
enum CommandId {
  kCmdNew = 40001,
  kCmdExit = 40004,
  kCmdBiped = 40005,
  kCmdMotion = 40006,
  kCmdPhysiqueList = 40009,
  kCmdAnimationList = 40010,
  kCmdCharacterList = 40011,
  kCmdLoadAse = 40012,
  kCmdLoadAnimation = 40013,
  kCmdLoadPhysique = 40014,
  kCmdLoadCharacterMesh = 40015,
  kCmdSaveAnimation = 40016,
  kCmdSavePhysique = 40017,
  kCmdSaveCharacterMesh = 40018,
  kCmdToolbarButton = 40022,
  kCmdSaveCharacterFile = 40023,
  kCmdSaveMesh = 40024,
  kCmdHelp = 57670,
};
inline constexpr int kMenuResource = 101;
inline constexpr int kIconResource = 102;

// The lists of a character: a placeholder without state whose operations do
// nothing.
class CharacterLists {
 public:
  void ShowBipedList() {}
  void ShowPhysiqueList() {}
  void ShowAnimationList() {}
  void ShowCharacterList() {}
};

struct ToolDocument {
  int exitRequest = 0;
  CharacterConverter converter;
  CharacterLists lists;
  MeshConverter meshConverter;
  HWND ownerWindow = nullptr;
};

void DispatchCommand(ToolDocument* document, int command);
// kind 1 ASE file, 2 animation data, 3 physique data, 4 character mesh; returns 0.
int LoadFile(ToolDocument* document, const char* title, const char* extension, int kind);
// kind 1 motion data, 2 physique data, 3 character mesh; returns 0.
int SaveFile(ToolDocument* document, const char* title, const char* extension, int kind);
// The five dialogs and the ".chr" file; 1 when it was written, 0 when a
// dialog was cancelled (or the file could not be written). The title and
// extension are not used: the dialogs' texts are fixed.
int SaveCharacterFile(ToolDocument* document, const char* title, const char* extension);

}  // namespace tarn::tool
