// The program entry: the pop-up window "Doze1", start-up, the message loop
// that draws a frame whenever no message waits, and tear-down.
#include <windows.h>

#include "engine/app/AppGlobals.h"
#include "engine/app/Engine.h"
#include "engine/app/InputDevices.h"
#include "engine/log/TarnLog.h"
#include "engine/world/WorldMap.h"

std::int32_t CreateMainWindow(HINSTANCE instance, int showCommand) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = nullptr;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = "Doze1";
  RegisterClassA(&windowClass);
  AppInstance = instance;

  HWND window = CreateWindowExA(0, "Doze1", "Doze1", WS_POPUP, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MainWindow = window;
  return 1;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATEAPP:
      AppActive = static_cast<std::int32_t>(wParam);
      return 0;
    case WM_COMMAND:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void RenderFrame() {
  Engine& engine = *AppEngine;
  if (AppInput) AppInput->ProcessControls();
  engine.UpdateCameraTransforms();
  engine.ClearTarget();
  engine.BeginScene();
  engine.DrawScene();
  engine.EndScene();
  engine.LockRenderTarget();
  if (OverlayPicture)
    OverlayPicture->DrawPicture(BlitTarget{engine.lockedBits, engine.lockedPitch, engine.deviceWidth, engine.deviceHeight},
                                100, 100);
  engine.DrawText(30, 100, StatusText);
  engine.DrawText(engine.screen.right / 2, engine.screen.bottom / 2, CentreMark);
  engine.UnlockRenderTarget();
  engine.DrawHud();
  engine.Present();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  FixLogFolder();
  if (!CreateMainWindow(instance, showCommand)) return 0;
  StartUp(MainWindow);

  MSG message{};
  // A device that could not be set up has its reason in "Tarn.log"; the
  // frame loop needs the device, so the program ends here instead.
  const bool ready = AppEngine && AppEngine->DeviceReady();
  while (ready && QuitRequested == 0) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!GetMessageA(&message, nullptr, 0, 0)) break;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else {
      RenderFrame();
    }
  }

  AppEngine.reset();
  AppInput.reset();
  if (!ready) return 1;
  // Escape is a normal end: status 0, whatever the last message carried
  // (an activation message would otherwise make the exit status 1).
  if (QuitRequested != 0) return 0;
  return static_cast<int>(message.wParam);
}
