// The Win32 API subset the system calls, gathered as the platform gathers it.
// Each family has its own header; a family appears here once it exists.
#pragma once

#include "windef.h"
#if __has_include("winuser.h")
#include "winuser.h"
#endif
#if __has_include("wingdi.h")
#include "wingdi.h"
#endif
#if __has_include("commdlg.h")
#include "commdlg.h"
#endif
#if __has_include("winbase.h")
#include "winbase.h"
#endif
