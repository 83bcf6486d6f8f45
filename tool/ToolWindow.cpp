#include "tool/ToolWindow.h"

#include <memory>

#include "tool/ToolTexts.h"

namespace tarn::tool {
namespace {

HWND mainWindow = nullptr;
int quitFlag = 0;
// Lives until the process ends (a test that runs WinMain again gets a new one).
std::unique_ptr<ToolDocument> document;

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  if (dc != nullptr)
    ExtTextOutA(dc, client.left, client.top, ETO_OPAQUE, &paint.rcPaint, texts::kClientText, 4, nullptr);
  EndPaint(window, &paint);
}

}  // namespace

ToolDocument* CurrentDocument() { return document.get(); }
HWND MainWindow() { return mainWindow; }
int QuitFlag() { return quitFlag; }

bool InitWindow(HINSTANCE instance, int showCommand) {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = MAKEINTRESOURCEA(kMenuResource);
  wc.lpszClassName = "Rigwright";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "Rigwright", "Rigwright", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  mainWindow = window;
  return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) quitFlag = 1;
      return 0;
    case WM_COMMAND:
      if (document) {
        DispatchCommand(document.get(), static_cast<int>(wParam));
        quitFlag = document->exitRequest;
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATEAPP:
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace tarn::tool

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  using namespace tarn::tool;
  mainWindow = nullptr;
  quitFlag = 0;
  document.reset();
  if (!InitWindow(instance, showCommand)) {
    MessageBoxA(nullptr, texts::kNoWindow, texts::kNoWindow, MB_OK);
    return 0;
  }
  document = std::make_unique<ToolDocument>();
  document->ownerWindow = mainWindow;

  MSG message{};
  while (quitFlag == 0) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (GetMessageA(&message, nullptr, 0, 0) == 0) return static_cast<int>(message.wParam);  // WM_QUIT's code
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    // Idle: nothing to do between messages.
  }
  // Esc or File > Exit: a normal end. (The wParam of the last message taken,
  // a key or a command identifier, would make a meaningless exit status.)
  return 0;
}
