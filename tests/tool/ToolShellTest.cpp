// Rigwright's shell driven as a user would: WM_COMMAND identifiers through
// the window procedure, dialogs answered from the queue, message boxes read.
#include <gtest/gtest.h>

#include "platform/win32/MenuTable.h"
#include "platform/win32/PaintHooks.h"
#include "tests/tool/ToolTestSupport.h"
#include "tool/ToolResources.h"
#include "tool/ToolWindow.h"

namespace tarn::tool {
namespace {

using testing::Exists;
using testing::ReadAll;
using testing::ScratchFolder;
using testing::ToolTestHost;
using testing::WriteAll;

const char kAse[] = "*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 10\n}\n"
                    "*GEOMOBJECT {\n\t*NODE_NAME \"Bip01\"\n\t*NODE_TM {\n\t\t*TM_ROW0 1 0 0\n"
                    "\t\t*TM_ROW3 1 2 3\n\t}\n\t*MATERIAL_REF 0\n}\n";

class ToolShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32::ResetUser();
    win32::SetHost(&host);
    ASSERT_TRUE(ResourcesRegistered());
    ASSERT_TRUE(InitWindow(nullptr, SW_SHOW));
    document.ownerWindow = MainWindow();
    std::filesystem::create_directories(folder / "assets");
    std::filesystem::create_directories(folder / "out");
    WriteAll(folder / "assets/hero.ase", kAse);
  }
  void TearDown() override {
    win32::SetHost(nullptr);
    win32::ResetUser();
  }
  void Command(int id) { DispatchCommand(&document, id); }
  void LoadAse() {
    host.Answer(folder / "assets/hero.ase");
    Command(kCmdLoadAse);
  }

  ScratchFolder folder;
  ToolTestHost host;
  ToolDocument document;
};

TEST_F(ToolShellTest, LoadDialogSettings) {
  LoadAse();
  ASSERT_EQ(host.dialogs.size(), 1u);
  const auto& d = host.dialogs[0];
  EXPECT_FALSE(d.save);
  EXPECT_EQ(d.titleUtf8, "ASE Loader");
  ASSERT_EQ(d.filtersUtf8.size(), 1u);
  EXPECT_EQ(d.filtersUtf8[0].first, "ASE Loader File (*.ase)");
  EXPECT_EQ(d.filtersUtf8[0].second, "*.ase");
  EXPECT_EQ(d.initialNameUtf8, "");  // the preset "*.ase" is a pattern
  EXPECT_EQ(d.defaultExtension, "ase");
  EXPECT_TRUE(d.fileMustExist);
  EXPECT_EQ(document.meshConverter.AseName(), "hero.ase");
  EXPECT_EQ(document.converter.InputName(), "hero.ase");
  EXPECT_EQ(std::filesystem::current_path(), folder.path() / "assets");  // moved to the chosen folder
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ToolShellTest, SaveCommandsRunTheirConvertersIntoTheChosenFolder) {
  LoadAse();
  host.Answer(folder / "out/hero");  // no extension typed: the default one is added
  Command(kCmdSaveAnimation);
  ASSERT_EQ(host.dialogs.size(), 2u);
  EXPECT_TRUE(host.dialogs[1].save);
  EXPECT_EQ(host.dialogs[1].titleUtf8, "Animaiotn Save");
  EXPECT_EQ(host.dialogs[1].filtersUtf8[0].first, "Animaiotn Save File (*.mca)");
  EXPECT_EQ(ReadAll(folder / "out/hero.mca"), "PHYID 1\nEnd");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Edit Message");
  EXPECT_EQ(host.boxes[0].text, "hero.ase 파일을 hero.mca 파일로 변환하는데 성공하였습니다.");

  host.Answer(folder / "out/hero.mpd");
  Command(kCmdSavePhysique);
  EXPECT_EQ(ReadAll(folder / "out/hero.mpd"),
            "FirstKeyNumber 0\nKeyNumber 9\nNODE_PR 1 1\nTM_ROW0 1 1.0000 0.0000 0.0000\n"
            "TM_ROW3 1 1.0000 2.0000 3.0000\n");
  host.Answer(folder / "out/hero.mcm");
  Command(kCmdSaveCharacterMesh);
  EXPECT_EQ(ReadAll(folder / "out/hero.mcm"), "");
  EXPECT_EQ(host.boxes.size(), 3u);
}

TEST_F(ToolShellTest, SaveMeshWritesIntoTheCurrentFolderAndReportsTheCount) {
  LoadAse();
  // Other Load commands keep the ASE file as the input.
  WriteAll(folder / "out/walk.mpd", "anything");
  host.Answer(folder / "out/walk.mpd");
  Command(kCmdLoadPhysique);
  EXPECT_TRUE(host.boxes.empty());
  Command(kCmdSaveMesh);
  EXPECT_EQ(ReadAll(folder / "out/0.t3m"), "0.t3m\nPos 1.000000 3.000000 2.000000\nMatID 0\nEnd\n");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text,
            "1개의 모델 파일을 " + std::filesystem::canonical(folder / "out").string() + " 폴더에 만들었습니다.");
}

TEST_F(ToolShellTest, ConversionBeforeLoadIsReported) {
  Command(kCmdSaveMesh);
  host.Answer(folder / "out/x.mca");
  Command(kCmdSaveAnimation);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].text, "먼저 ASE 파일을 불러오십시오.");
  EXPECT_EQ(host.boxes[1].text, "먼저 ASE 파일을 불러오십시오.");
  EXPECT_FALSE(Exists(folder / "out/x.mca"));
  EXPECT_FALSE(Exists(folder / "out/0.t3m"));
}

TEST_F(ToolShellTest, LoadAnimationDataConfirmsAnyExistingFile) {
  WriteAll(folder / "assets/garbage.mca", std::string("\0\xff\x01 not motion data", 20));
  host.Answer(folder / "assets/garbage.mca");
  Command(kCmdLoadAnimation);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "뭘보슈?");
  EXPECT_EQ(host.boxes[0].text, "읽어 오기에 성공하였습니다.");
  // A name that does not exist is refused by the dialog: nothing is shown.
  host.Answer(folder / "assets/none.mca");
  Command(kCmdLoadAnimation);
  EXPECT_EQ(host.boxes.size(), 1u);
  host.Answer(folder / "assets/garbage.mca");
  Command(kCmdLoadCharacterMesh);
  EXPECT_EQ(host.boxes.size(), 1u);
}

TEST_F(ToolShellTest, CommandsWithoutActionChangeNothing) {
  LoadAse();
  for (int id : std::initializer_list<int>{kCmdNew, kCmdBiped, kCmdMotion, 40007, 40008, kCmdPhysiqueList, kCmdAnimationList,
                 kCmdCharacterList, 40019, 40020, 40021, kCmdToolbarButton, kCmdHelp, 0, 40003, 40025, -1})
    Command(id);
  EXPECT_EQ(host.dialogs.size(), 1u);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(document.exitRequest, 0);
  EXPECT_EQ(document.meshConverter.AseName(), "hero.ase");
  Command(kCmdExit);
  EXPECT_EQ(document.exitRequest, 1);
}

TEST_F(ToolShellTest, CharacterFileDialogsAndTheirCancel) {
  LoadAse();
  host.Answer(folder / "assets/other.ase");  // need not exist? it must: open dialogs want existing files
  WriteAll(folder / "assets/other.ase", "");
  WriteAll(folder / "assets/hero.mpd", "");
  WriteAll(folder / "assets/hero.mca", "");
  WriteAll(folder / "assets/hero.bmp", "");
  host.Answer(folder / "assets/hero.mpd");
  host.Cancel();  // the third dialog
  EXPECT_EQ(SaveCharacterFile(&document, "Character File Save", "chr"), 0);
  EXPECT_EQ(host.dialogs.size(), 4u);  // the load, then three of the five
  EXPECT_EQ(host.dialogs[3].titleUtf8, "Open MCA File");

  for (const char* name : {"assets/other.ase", "assets/hero.mpd", "assets/hero.mca", "assets/hero.bmp", "out/hero"})
    host.Answer(folder / name);
  Command(kCmdSaveCharacterFile);
  ASSERT_EQ(host.dialogs.size(), 9u);
  const auto& first = host.dialogs[4];
  EXPECT_EQ(first.titleUtf8, "Open ASE File");
  EXPECT_EQ(first.filtersUtf8[0].first, "ASE File (*.ASE)");
  EXPECT_EQ(host.dialogs[5].filtersUtf8[0].first, "Physique  File (*.mpd)");
  EXPECT_EQ(host.dialogs[6].filtersUtf8[0].first, "Motion Data  File (*.mca)");
  EXPECT_EQ(host.dialogs[7].filtersUtf8[0].first, "Bitmap File (*.BMP)");
  const auto& last = host.dialogs[8];
  EXPECT_TRUE(last.save);
  EXPECT_EQ(last.titleUtf8, "SAVE CHR File");
  EXPECT_EQ(last.filtersUtf8[0].first, "캐릭터 전체 파일 (*.chr)");
  EXPECT_EQ(last.defaultExtension, "chr");
  EXPECT_EQ(ReadAll(folder / "out/hero.chr"), "other.ase\nhero.mpd\nhero.mca\nhero.bmp");
  EXPECT_TRUE(host.boxes.empty());
  // The ASE name stays that of Load > "ASE File".
  EXPECT_EQ(document.meshConverter.AseName(), "hero.ase");
  Command(kCmdSaveMesh);
  EXPECT_EQ(ReadAll(folder / "out/0.t3m").substr(0, 6), "0.t3m\n");
}

int dcRequests = 0, dcReleases = 0;

TEST_F(ToolShellTest, PaintValidatesTheClientAreaAndReturnsTheDc) {
  win32::SetWindowDcProvider([](HWND) { ++dcRequests; return reinterpret_cast<HDC>(0x40); },
                             [](HWND, HDC dc) { dcReleases += dc == reinterpret_cast<HDC>(0x40); });
  HWND window = MainWindow();
  EXPECT_TRUE(InvalidateRect(window, nullptr, TRUE));
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(SendMessageA(window, WM_PAINT, 0, 0), 0);
  EXPECT_EQ(dcRequests, 1);
  EXPECT_EQ(dcReleases, 1);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));  // painted: nothing is due
  win32::SetWindowDcProvider(nullptr, nullptr);
  PAINTSTRUCT paint;
  EXPECT_EQ(BeginPaint(window, &paint), nullptr);  // without GDI there is no DC
  EXPECT_EQ(paint.rcPaint.right - paint.rcPaint.left > 0, true);
  EXPECT_TRUE(EndPaint(window, &paint));
  EXPECT_EQ(BeginPaint(reinterpret_cast<HWND>(0x999), &paint), nullptr);
  EXPECT_FALSE(InvalidateRect(reinterpret_cast<HWND>(0x999), nullptr, TRUE));
}

std::vector<std::uint16_t> clientPixels(200 * 100, 0x1234);
HDC bufferDc = nullptr;

TEST_F(ToolShellTest, PaintWritesTheClientTextOverWhite) {
  win32::SetWindowDcProvider(
      [](HWND) { return bufferDc = win32::CreateBufferDc(clientPixels.data(), 200, 100, 400); },
      [](HWND, HDC dc) { win32::DeleteBufferDc(dc); });
  SendMessageA(MainWindow(), WM_PAINT, 0, 0);
  win32::SetWindowDcProvider(nullptr, nullptr);
  ASSERT_NE(bufferDc, nullptr);
  int dark = 0, white = 0, other = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      std::uint16_t p = clientPixels[y * 200 + x];
      bool inText = x < 4 * 8 && y < 16;  // four 8-pixel cells at the client's top left
      if (p == 0xFFFF) ++white;
      else if (p == 0x0000 && inText) ++dark;
      else ++other;
    }
  EXPECT_GT(dark, 20);           // the glyphs of "sdaf", black
  EXPECT_EQ(other, 0);           // the rest of the paint rectangle opaque white
  EXPECT_GT(white, 200 * 100 - 32 * 16);
  EXPECT_EQ(win32::LiveBufferDcs(), 0);
}

// Menu 101 as the Windows build's test lists it (tests/windows/rigwright-menu.txt,
// from its first POPUP line): one listing for both builds.
void ListMenu(HMENU menu, const std::string& indent, std::string& out) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    if (HMENU sub = GetSubMenu(menu, i)) {
      out += indent + "POPUP " + text + "\n";
      ListMenu(sub, indent + "  ", out);
    } else if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) {
      out += indent + "SEPARATOR\n";
    } else {
      out += indent + "ITEM " + std::to_string(GetMenuItemID(menu, i)) + " " + text + "\n";
    }
  }
}

TEST(ToolMenu, Menu101IsTheListingOfTheWindowsBuild) {
  win32::ResetUser();
  ASSERT_TRUE(ResourcesRegistered());
  const std::string listing = ReadAll("tests/windows/rigwright-menu.txt");
  const std::size_t popups = listing.find("\nPOPUP ");
  ASSERT_NE(popups, std::string::npos) << "no menu in tests/windows/rigwright-menu.txt";
  HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCEA(kMenuResource));
  ASSERT_NE(bar, nullptr);
  std::string got;
  ListMenu(bar, "", got);
  EXPECT_EQ(got, listing.substr(popups + 1));
  // Found by command as well as by place.
  char text[32];
  EXPECT_EQ(GetMenuStringA(bar, 40024, text, sizeof text, MF_BYCOMMAND), 4);
  EXPECT_STREQ(text, "Mesh");
  HMENU file = GetSubMenu(bar, 0);
  EXPECT_TRUE(DestroyMenu(bar));
  EXPECT_EQ(GetMenuItemCount(file), -1);  // its pop-ups went with it
}

TEST(ToolMenu, MalformedTemplatesAndBadHandlesFail) {
  const win32::MenuTemplateItem open[] = {{MF_POPUP, 0, "File"}, {MF_STRING, 1, "New"}};
  EXPECT_FALSE(win32::RegisterMenuResource(900, open, 2));
  EXPECT_EQ(LoadMenuA(nullptr, MAKEINTRESOURCEA(900)), nullptr);
  HMENU bogus = reinterpret_cast<HMENU>(0x1234);
  EXPECT_FALSE(AppendMenuA(bogus, MF_STRING, 1, "x"));
  EXPECT_EQ(GetSubMenu(bogus, 0), nullptr);
  EXPECT_FALSE(DestroyMenu(bogus));
  HMENU m = CreateMenu();
  EXPECT_FALSE(AppendMenuA(m, MF_POPUP, reinterpret_cast<UINT_PTR>(m), "self"));
  EXPECT_EQ(GetSubMenu(m, 5), nullptr);
  DestroyMenu(m);
}

TEST(FileDialog, RefusesBadRecordsAndSmallBuffers) {
  ScratchFolder folder;
  ToolTestHost host;
  win32::SetHost(&host);
  OPENFILENAMEA d{};
  char file[8] = "*.ase", title[8];
  d.lStructSize = 40;
  d.lpstrFile = file;
  d.nMaxFile = sizeof file;
  EXPECT_FALSE(GetOpenFileNameA(&d));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
  d.lStructSize = 76;
  d.lpstrFileTitle = title;
  d.nMaxFileTitle = sizeof title;
  host.Answer(folder / "a-long-file-name.ase");
  EXPECT_FALSE(GetSaveFileNameA(&d));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  EXPECT_STREQ(file, "*.ase");
  EXPECT_FALSE(GetOpenFileNameA(nullptr));
  win32::SetHost(nullptr);
}

TEST(ToolProgram, RunsUntilEscapeAndExitsZero) {
  win32::ResetUser();
  ToolTestHost host;
  win32::SetHost(&host);
  host.script.push_back([] { PostMessageA(MainWindow(), WM_COMMAND, kCmdNew, 0); });
  host.script.push_back([] { PostMessageA(MainWindow(), WM_KEYDOWN, 'Q', 0); });  // other keys: nothing
  host.script.push_back([] { PostMessageA(MainWindow(), WM_ACTIVATEAPP, 1, 0); });
  host.script.push_back([] { EXPECT_EQ(QuitFlag(), 0); });
  host.script.push_back([] { PostMessageA(MainWindow(), WM_KEYDOWN, VK_ESCAPE, 0); });
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, SW_SHOW), 0);
  EXPECT_EQ(QuitFlag(), 1);
  ASSERT_NE(MainWindow(), nullptr);
  EXPECT_NE(GetMenu(MainWindow()), nullptr);  // the class menu 101
  EXPECT_TRUE(host.boxes.empty());
  win32::SetHost(nullptr);
  win32::ResetUser();
}

TEST(ToolProgram, FileExitAndClosingTheWindowEndTheLoop) {
  win32::ResetUser();
  ToolTestHost host;
  win32::SetHost(&host);
  host.script.push_back([] { PostMessageA(MainWindow(), WM_COMMAND, kCmdExit, 0); });
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, SW_SHOW), 0);
  EXPECT_EQ(QuitFlag(), 1);
  win32::ResetUser();
  host.script.push_back([] { DestroyWindow(MainWindow()); });
  EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, SW_SHOW), 0);
  EXPECT_EQ(QuitFlag(), 0);  // ended by WM_QUIT
  win32::SetHost(nullptr);
  win32::ResetUser();
}

}  // namespace
}  // namespace tarn::tool
