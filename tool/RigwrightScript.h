// The text of tool/rigwright.rc, the tool's resource script, compiled into
// the Linux programs so that they read menu 101 from the same source that
// windres compiles for Windows.
#pragma once

namespace tarn::tool {

extern const char kRigwrightScript[];

}  // namespace tarn::tool
