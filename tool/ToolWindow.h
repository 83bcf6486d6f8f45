// Rigwright's shell: the program entry, its window and window procedure.
//
// The host owns main(), prepares its machine and calls WinMain. The message
// loop polls without waiting, as the tool always did; the host's
// IdleWaitMilliseconds lets PeekMessageA rest briefly so that an idle tool
// does not keep a processor busy.
#pragma once

#include <windows.h>

#include "tool/ToolDocument.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace tarn::tool {

bool InitWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// For tests and hosts: the live document (null before WinMain creates it)
// and the main window.
ToolDocument* CurrentDocument();
HWND MainWindow();
int QuitFlag();

}  // namespace tarn::tool
