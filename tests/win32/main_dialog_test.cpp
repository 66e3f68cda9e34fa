// The main window in process: loading fields from the selection, the changed
// flags, the genre match and the enabling rules, on real files and controls.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/win32/main_dialog.h"
#include "resource.h"
#include "tags/tag_record.h"

namespace {
std::string TempMp3(const char* name, const char* artist, const char* genre) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir) + name;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  char audio[4096] = {'\xFF', '\xFB', '\x90', '\x64'};
  DWORD put;
  WriteFile(h, audio, sizeof audio, &put, nullptr);
  CloseHandle(h);
  TagRecord r;
  if (artist) r.Set("ARTIST", artist);
  if (genre) r.Set("GENRE", genre);
  r.Set("TITLE", name);
  WriteTags(r, path.c_str());
  return path;
}

std::string Text(HWND dialog, int id) {
  char text[300] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    window = CreateDialogParamW(GetModuleHandleA(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                SharedDialogProc, reinterpret_cast<LPARAM>(&main));
    ASSERT_TRUE(window);
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}  // drop the quit message too
  }
  void Select(int row) {
    HWND list = GetDlgItem(window, IDC_FILELIST);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  MainDialog main;
  HWND window = nullptr;
};
}  // namespace

TEST_F(MainWindow, SelectingAFileShowsItsTagsAndTypingMarksOnlyThatField) {
  main.AddRow(TempMp3("lirva-a.mp3", "Old Artist", "Rock & Roll"));
  main.AddRow(TempMp3("lirva-b.mp3", "beatles", "Ro"));
  main.UpdateControls();
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_TAGBUTTON)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_ARTIST)));  // nothing selected yet

  Select(0);
  EXPECT_EQ(Text(window, IDC_ARTIST), "Old Artist");
  EXPECT_EQ(Text(window, IDC_TITLE), "lirva-a.mp3");
  EXPECT_EQ(Text(window, IDC_GENRE), "Rock & Roll");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_ARTIST)));

  SetDlgItemTextA(window, IDC_ARTIST, "New Artist");
  EXPECT_TRUE(main.FieldChanged(2));
  for (int other : {0, 1, 3, 4, 5, 6}) EXPECT_FALSE(main.FieldChanged(other));
  SetDlgItemTextA(window, IDC_ARTIST, "Old Artist");
  EXPECT_FALSE(main.FieldChanged(2));
  SetDlgItemTextA(window, IDC_ARTIST, "old artist");  // letter case is a change
  EXPECT_TRUE(main.FieldChanged(2));
  // On screen, with this system's own colours (Wine's defaults make the active
  // border as white as the fields): the changed field's background is not the
  // unchanged one's.
  ShowWindow(window, SW_SHOW);
  auto fieldPixel = [&](int id) {
    HWND field = GetDlgItem(window, id);
    RedrawWindow(field, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT r;
    GetClientRect(field, &r);
    HDC dc = GetDC(field);
    const COLORREF c = GetPixel(dc, r.right - 3, r.bottom / 2);
    ReleaseDC(field, dc);
    return c;
  };
  EXPECT_NE(fieldPixel(IDC_ARTIST), fieldPixel(IDC_ALBUM));
  EXPECT_EQ(fieldPixel(IDC_ALBUM), GetSysColor(COLOR_WINDOW));

  Select(1);  // another file: its values, no flags
  EXPECT_EQ(Text(window, IDC_ARTIST), "beatles");
  EXPECT_EQ(Text(window, IDC_GENRE), "Rock");  // "Ro" picks the first entry it begins
  EXPECT_FALSE(main.FieldChanged(2));
}

TEST_F(MainWindow, ClearingMarksEveryFilledFieldAndTheGenre) {
  main.AddRow(TempMp3("lirva-c.mp3", "Someone", "Jazz"));
  Select(0);
  SendMessageA(window, WM_COMMAND, IDM_CLEARFIELDS, 0);
  EXPECT_EQ(Text(window, IDC_ARTIST), "");
  EXPECT_EQ(Text(window, IDC_GENRE), "");
  EXPECT_TRUE(main.FieldChanged(0));  // title
  EXPECT_TRUE(main.FieldChanged(2));  // artist
  EXPECT_TRUE(main.FieldChanged(6));  // genre
  EXPECT_FALSE(main.FieldChanged(1)); // the year was empty already
}

TEST_F(MainWindow, DuplicatesInOtherLetterCaseAreNotAdded) {
  std::string path = TempMp3("lirva-d.mp3", "A", nullptr);
  EXPECT_TRUE(main.AddRow(path));
  std::string upper = path;
  for (char& c : upper) c = char(toupper(static_cast<unsigned char>(c)));
  EXPECT_FALSE(main.AddRow(upper));
  EXPECT_EQ(main.RowCount(), 1);
}

TEST_F(MainWindow, OnlyExactModifiersRunAKey) {
  EXPECT_FALSE(main.OnKeyDown('N' | kKeyCtrl | kKeyShift));
  EXPECT_FALSE(main.OnKeyDown('G'));
  EXPECT_TRUE(main.OnKeyDown('A' | kKeyCtrl));  // select all: harmless here
}

TEST_F(MainWindow, LayoutFollowsTheWindowSize) {
  SetWindowPos(window, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
  RECT client, button;
  GetClientRect(window, &client);
  GetWindowRect(GetDlgItem(window, IDC_TAGBUTTON), &button);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, client.right - 207);
  EXPECT_EQ(button.right - button.left, 179);
  // A window made too small is enlarged to a client area of 560 x 400.
  SetWindowPos(window, nullptr, 0, 0, 200, 200, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(window, &client);
  EXPECT_GE(client.right, 560);
  EXPECT_GE(client.bottom, 400);
}
