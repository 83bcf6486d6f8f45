// GetTickCount through the host's clock; Sleep for real.
#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/win32/Host.h"

DWORD GetTickCount() { return tarn::win32::CurrentHost().TickCount(); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
