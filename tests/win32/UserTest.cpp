#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Host.h"
#include "platform/win32/WindowTable.h"

using namespace tarn::win32;

namespace {

std::vector<UINT> seen;
LRESULT CALLBACK Recorder(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  seen.push_back(m);
  if (m == WM_DESTROY) PostQuitMessage(7);
  return DefWindowProcA(w, m, wp, lp);
}

struct ScriptedHost : Host {
  std::vector<std::string> boxes;
  int pumps = 0;
  HWND target = nullptr;
  void PumpEvents(int) override {
    if (++pumps == 2 && target != nullptr) PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  int MessageBox(HWND, const std::string& text, const std::string& caption, UINT) override {
    boxes.push_back(caption + "|" + text);
    return IDCANCEL;
  }
};

class User : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUser();
    seen.clear();
    SetHost(&host);
  }
  void TearDown() override {
    SetHost(nullptr);
    ResetUser();
  }
  HWND MakeWindow(DWORD style = WS_POPUP) {
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = Recorder;
    wc.hInstance = instance;
    wc.lpszClassName = "Doze1";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "Doze1", "Doze1", style, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                           instance, nullptr);
  }
  ScriptedHost host;
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(0x400000);
};

}  // namespace

TEST_F(User, WindowLifecycleAndQuit) {
  HWND w = MakeWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(GetWindowLongA(w, GWL_HINSTANCE), 0x400000);
  ShowWindow(w, SW_SHOWDEFAULT);
  UpdateWindow(w);  // the first paint is sent at once and validated by DefWindowProc
  EXPECT_EQ(seen.back(), static_cast<UINT>(WM_PAINT));
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));

  PostMessageA(w, WM_USER + 1, 1, 0);
  PostMessageA(w, WM_USER + 2, 2, 0);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.wParam, 2u);

  DestroyWindow(w);
  EXPECT_EQ(seen[seen.size() - 2], static_cast<UINT>(WM_DESTROY));
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  EXPECT_EQ(m.wParam, 7u);
}

TEST_F(User, HostEventsReachTheQueueWhileWaiting) {
  HWND w = MakeWindow();
  host.target = w;
  MSG m;
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(m.hwnd, w);
}

TEST_F(User, MessageBoxTextReachesTheHostAsUtf8) {
  EXPECT_EQ(MessageBoxA(nullptr, "\xC7\xCF", "f_Input", MB_ICONERROR), IDCANCEL);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], "f_Input|하");
}

TEST_F(User, BadHandlesAndClassesFailWithoutCrashing) {
  HWND bogus = reinterpret_cast<HWND>(0x12345);
  EXPECT_FALSE(DestroyWindow(bogus));
  EXPECT_FALSE(ShowWindow(bogus, SW_SHOW));
  EXPECT_EQ(GetWindowLongA(bogus, GWL_HINSTANCE), 0);
  EXPECT_FALSE(PostMessageA(bogus, WM_USER, 0, 0));
  EXPECT_EQ(SendMessageA(bogus, WM_USER, 0, 0), 0);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr), nullptr);
  EXPECT_EQ(RegisterClassA(nullptr), 0);
  MSG m{};
  EXPECT_EQ(DispatchMessageA(&m), 0);
  RECT r;
  EXPECT_FALSE(GetClientRect(bogus, &r));
}

namespace {
HMENU loadedFor = nullptr;
HMENU FakeMenuLoader(HINSTANCE, LPCSTR name) {
  loadedFor = reinterpret_cast<HMENU>(reinterpret_cast<std::uintptr_t>(name));
  return loadedFor;
}
}  // namespace

TEST_F(User, ClassMenuIsLoadedForAWindowWithoutOne) {
  SetClassMenuLoader(FakeMenuLoader);
  WNDCLASSA wc{};
  wc.lpfnWndProc = Recorder;
  wc.lpszMenuName = MAKEINTRESOURCEA(101);
  wc.lpszClassName = "Rigwright";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND w = CreateWindowExA(0, "rigwright", "Rigwright", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                           nullptr, nullptr, instance, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(FindWindowRecord(w)->menu), 101u);
  RECT r;
  ASSERT_TRUE(GetClientRect(w, &r));
  EXPECT_GT(r.right, 0);
  SetClassMenuLoader(nullptr);
}
