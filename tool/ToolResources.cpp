// Rigwright's resource table (language Korean, 1042): menu 101 and the icon.
// Compiled into each program that runs the tool's window, as a resource
// script is linked into the program file, and registered before WinMain.
#include "platform/win32/MenuTable.h"
#include "tool/ToolDocument.h"
#include "tool/ToolResources.h"

#include "tool/rigwright.xpm"

namespace tarn::tool {
namespace {

using win32::MenuTemplateItem;

// Menu 101: File, View, Edit, List, Help. Separators after "New" and before
// "Exit"; Load and Save are submenus of File.
constexpr MenuTemplateItem kMenu101[] = {
    {MF_POPUP, 0, "File"},
    {MF_STRING, kCmdNew, "New"},
    {MF_SEPARATOR, 0, ""},
    {MF_POPUP, 0, "Load"},
    {MF_STRING, kCmdLoadAse, "ASE File"},
    {MF_STRING, kCmdLoadAnimation, "Animation Data"},
    {MF_STRING, kCmdLoadPhysique, "Physique Data"},
    {MF_END, kCmdLoadCharacterMesh, "Character Mesh"},
    {MF_POPUP, 0, "Save"},
    {MF_STRING, kCmdSaveAnimation, "Animation Data"},
    {MF_STRING, kCmdSavePhysique, "Physique Data"},
    {MF_STRING, kCmdSaveCharacterMesh, "Character Mesh"},
    {MF_STRING, kCmdSaveCharacterFile, "Animation File"},
    {MF_END, kCmdSaveMesh, "Mesh"},
    {MF_SEPARATOR, 0, ""},
    {MF_END, kCmdExit, "Exit"},
    {MF_POPUP, 0, "View"},
    {MF_END, kCmdBiped, "Biped"},
    {MF_POPUP, 0, "Edit"},
    {MF_END, kCmdMotion, "Motion"},
    {MF_POPUP, 0, "List"},
    {MF_STRING, kCmdBiped, "Biped List"},
    {MF_STRING, kCmdPhysiqueList, "Physique List"},
    {MF_STRING, kCmdAnimationList, "Animation List"},
    {MF_END, kCmdCharacterList, "Character List"},
    {MF_POPUP | MF_END, 0, "Help"},
    {MF_END, kCmdHelp, "Help"},
};

const bool registered = win32::RegisterMenuResource(kMenuResource, kMenu101, std::size(kMenu101));

}  // namespace

bool ResourcesRegistered() { return registered; }
const char* const* IconXpm() { return rigwright_xpm; }

}  // namespace tarn::tool
