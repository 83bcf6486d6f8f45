// Rigwright's resources on Linux: menu 101 read from the resource script
// that windres compiles for Windows (tool/rigwright.rc, built into the
// program as text), and the icon as XPM. Registered before WinMain runs, as
// a resource script is linked into the program file.
#include "tool/ToolResources.h"

#include <cstdio>

#include "platform/win32/MenuScript.h"
#include "tool/RigwrightScript.h"
#include "tool/ToolDocument.h"

#include "tool/rigwright.xpm"

namespace tarn::tool {
namespace {

bool RegisterMenu() {
  std::string reason;
  if (win32::RegisterMenuScript(kRigwrightScript, kMenuResource, &reason)) return true;
  std::fprintf(stderr, "rigwright.rc: %s\n", reason.c_str());
  return false;
}

const bool registered = RegisterMenu();

}  // namespace

bool ResourcesRegistered() { return registered; }
const char* const* IconXpm() { return rigwright_xpm; }

}  // namespace tarn::tool
