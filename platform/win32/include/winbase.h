// Kernel calls the engine makes: GetTickCount and Sleep.
//
// GetTickCount reads the host's clock (platform/win32/Host.h TickCount),
// so a host may run a virtual clock and make the frame-rate text
// reproducible. It wraps at 2^32 milliseconds as on the platform.
// Sleep blocks the calling thread for real, whatever the host's clock.
#pragma once

#include "windef.h"

DWORD GetTickCount();
void Sleep(DWORD milliseconds);
