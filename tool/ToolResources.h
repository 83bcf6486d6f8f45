// The tool's resources (ToolResources.cpp, linked into each program that runs
// the tool's window). The icon group holds one 32 x 32, 16-colour picture,
// kept as XPM text (tool/rigwright.xpm); the window class uses no icon.
#pragma once

namespace tarn::tool {

bool ResourcesRegistered();
// The icon's XPM lines (header, colours, 32 rows).
const char* const* IconXpm();

}  // namespace tarn::tool
