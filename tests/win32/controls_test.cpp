// The custom controls on a real test dialog: the messages their parent receives,
// the pixels they paint, and what tooltips, toolbar, list and combo box hold.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "ui/control_tables.h"
#include "ui/controls.h"
#include "test_pump.h"

namespace {
constexpr COLORREF kOrange = RGB(245, 184, 0);
// Controls of the test dialog.
constexpr int kList = 101;
constexpr int kTagButton = 214;

// What the test dialog's parent side saw: (control id, notification code).
std::vector<std::pair<int, int>> received;
Toolbar* shownToolbar = nullptr;

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;  // no focus: the tests decide which window is active
    case WM_COMMAND:
      received.emplace_back(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_DRAWITEM:
      DrawGradientButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam),
                         reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
      return TRUE;
    case WM_NOTIFY: {
      auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
      if (shownToolbar && draw->hdr.code == NM_CUSTOMDRAW &&
          draw->hdr.hwndFrom == shownToolbar->window && draw->dwDrawStage == CDDS_PREPAINT) {
        RECT r;
        GetClientRect(shownToolbar->window, &r);
        BitBlt(draw->hdc, 0, 0, r.right, r.bottom, shownToolbar->memoryDc.get(), 0, 0, SRCCOPY);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, CDRF_DODEFAULT);
        return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}


std::vector<int> CodesFrom(int id) {
  std::vector<int> codes;
  for (const auto& message : received) {
    if (message.first == id) codes.push_back(message.second);
  }
  return codes;
}

int Channel(COLORREF c, int i) { return i == 0 ? GetRValue(c) : i == 1 ? GetGValue(c) : GetBValue(c); }

int Scaled(int channel, double factor) {
  int v = static_cast<int>(channel * factor);
  return v > 255 ? 255 : v;
}

// A 32-bit memory surface to draw on and read back.
struct Canvas {
  Canvas(int width, int height) : width(width), height(height) {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    old = SelectObject(dc, bitmap);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

std::string ToolText(HWND tooltip, HWND owner, UINT_PTR id) {
  char text[128] = "";
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = owner;
  tool.uId = id;
  tool.lpszText = text;
  SendMessageA(tooltip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
  return text;
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "LCtlTestDlg", nullptr,
                                TestDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    SetWindowPos(dialog, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    UpdateWindow(dialog);
    PumpWaiting();
    ClearHotControl();
    received.clear();
  }
  void TearDown() override {
    shownToolbar = nullptr;
    if (dialog) DestroyWindow(dialog);
    PumpWaiting();
    ForceControlsGeneration(ControlsGeneration::Unknown);
  }
  HWND Item(int id) const { return GetDlgItem(dialog, id); }
  COLORREF ScreenPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
  }
  // Draws a button of the dialog the way its WM_DRAWITEM would, onto `canvas`.
  void Draw(int id, UINT state, Canvas& canvas) {
    DRAWITEMSTRUCT item = {ODT_BUTTON, static_cast<UINT>(id), 0, ODA_DRAWENTIRE, state,
                           Item(id), canvas.dc, {0, 0, canvas.width, canvas.height}, 0};
    DrawGradientButton(item, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
  }
  HWND dialog = nullptr;
};

TEST_F(Controls, HoldButtonSendsPressThenReleaseThenTheClick) {
  HWND button = Item(IDC_PLAYER_REWIND);
  MakeHoldButton(button);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(GetCapture(), button);
  EXPECT_EQ(CodesFrom(IDC_PLAYER_REWIND), std::vector<int>{kHoldPressed});
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_NE(GetCapture(), button);
  EXPECT_EQ(CodesFrom(IDC_PLAYER_REWIND),
            (std::vector<int>{kHoldPressed, kHoldReleased, BN_CLICKED}));

  // A quick second press arrives as a double click and holds the button too.
  received.clear();
  SendMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(CodesFrom(IDC_PLAYER_REWIND),
            (std::vector<int>{kHoldPressed, kHoldReleased, BN_CLICKED}));
}

TEST_F(Controls, HoldButtonReportsOneReleaseWhenItLosesTheMouse) {
  HWND button = Item(IDC_PLAYER_FORWARD);
  MakeHoldButton(button);
  MakeHoldButton(button);  // a second call must not chain the procedure to itself
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SetCapture(dialog);  // what a message box or a switch to another program does
  EXPECT_EQ(CodesFrom(IDC_PLAYER_FORWARD), (std::vector<int>{kHoldPressed, kHoldReleased}));
  ReleaseCapture();
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(CodesFrom(IDC_PLAYER_FORWARD), (std::vector<int>{kHoldPressed, kHoldReleased}));

  // The next press and release work as before.
  received.clear();
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(CodesFrom(IDC_PLAYER_FORWARD),
            (std::vector<int>{kHoldPressed, kHoldReleased, BN_CLICKED}));
}

TEST_F(Controls, HoverMovesTheOrangeOutlineBetweenTrackedButtons) {
  HWND first = Item(214), second = Item(215);
  TrackHover(first);
  TrackHover(second);
  RECT r;
  GetClientRect(first, &r);
  const int middle = r.bottom / 2;
  auto outlined = [&](HWND button) {
    UpdateWindow(first);
    UpdateWindow(second);
    return ScreenPixel(button, 1, middle) == kOrange;
  };
  EXPECT_FALSE(outlined(first));
  EXPECT_FALSE(outlined(second));

  SendMessageA(first, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(HotControl(), first);
  EXPECT_TRUE(outlined(first));
  EXPECT_FALSE(outlined(second));

  SendMessageA(second, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(HotControl(), second);
  EXPECT_FALSE(outlined(first));
  EXPECT_TRUE(outlined(second));

  // The owning window's background takes the outline away.
  ClearHotControl();
  EXPECT_EQ(HotControl(), nullptr);
  EXPECT_FALSE(outlined(second));

  // A destroyed hot control leaves none hot.
  SendMessageA(second, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  DestroyWindow(second);
  EXPECT_EQ(HotControl(), nullptr);
}

TEST_F(Controls, GradientButtonFaceAndFrame) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  Canvas canvas(120, 30);
  Draw(215, 0, canvas);
  EXPECT_EQ(canvas.At(0, 0), RGB(129, 129, 135));
  EXPECT_EQ(canvas.At(119, 29), RGB(129, 129, 135));
  EXPECT_NE(canvas.At(1, 15), kOrange);
  // Inside the edges the face runs from face x 1.05 down towards face x 0.87.
  for (int i = 0; i < 3; ++i) {
    int top = Channel(canvas.At(60, 2), i), bottom = Channel(canvas.At(60, 27), i);
    EXPECT_NEAR(top, Scaled(Channel(face, i), 1.05), 3) << "channel " << i;
    EXPECT_NEAR(bottom, Scaled(Channel(face, i), 0.87), 4) << "channel " << i;
    EXPECT_GT(top, bottom) << "channel " << i;
  }
  // Without an icon the caption still shows, centred in the face.
  char caption[64];
  GetWindowTextA(Item(215), caption, sizeof caption);
  SetWindowTextA(Item(215), "");
  Canvas empty(120, 30);
  Draw(215, 0, empty);
  SetWindowTextA(Item(215), "Second");
  Canvas text(120, 30);
  Draw(215, 0, text);
  SetWindowTextA(Item(215), caption);
  int left = 120, right = -1, top = 30, bottom = -1;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x)
      if (text.At(x, y) != empty.At(x, y)) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  ASSERT_GE(right - left, 20) << "no caption drawn";
  EXPECT_NEAR(left + right, 119, 6);
  EXPECT_NEAR(top + bottom, 29, 6);

  // Pressed: a flat lighter face and a light frame.
  Canvas pressed(120, 30);
  Draw(215, ODS_SELECTED, pressed);
  EXPECT_EQ(pressed.At(0, 0), RGB(209, 209, 209));
  const COLORREF light =
      RGB(Scaled(GetRValue(face), 1.05), Scaled(GetGValue(face), 1.05), Scaled(GetBValue(face), 1.05));
  EXPECT_EQ(pressed.At(60, 3), light);
  EXPECT_EQ(pressed.At(60, 26), light);

  // A non-zero user value of the button also draws it pressed.
  SetWindowLongPtrA(Item(215), GWLP_USERDATA, 1);
  Canvas held(120, 30);
  Draw(215, 0, held);
  EXPECT_EQ(held.At(0, 0), RGB(209, 209, 209));
  SetWindowLongPtrA(Item(215), GWLP_USERDATA, 0);

  // The hot button has the orange outline one pixel in, and only there.
  TrackHover(Item(215));
  SendMessageA(Item(215), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  Canvas hot(120, 30);
  Draw(215, 0, hot);
  EXPECT_EQ(hot.At(1, 15), kOrange);
  EXPECT_EQ(hot.At(60, 1), kOrange);
  EXPECT_EQ(hot.At(0, 15), RGB(129, 129, 135));
  EXPECT_NE(hot.At(2, 15), kOrange);
}

TEST_F(Controls, GradientButtonDrawsItsIconAndText) {
  ASSERT_TRUE(SetButtonIcon(dialog, kTagButton, MAKEINTRESOURCEA(IDI_TAGBUTTON)));
  HICON icon = reinterpret_cast<HICON>(SendMessageA(Item(214), BM_GETIMAGE, IMAGE_ICON, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP mask;
  GetObjectA(info.hbmMask, sizeof(mask), &mask);
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  EXPECT_EQ(mask.bmWidth, 16);  // the size stored in the resource

  Canvas plain(180, 34), withIcon(180, 34);
  Draw(215, 0, plain);
  Draw(214, 0, withIcon);
  // The icon sits at x = 2 + 8 / 4, y = (34 - 16) / 2; the text starts at
  // x = 3 + 16 + 4 and leaves the face untouched before it.
  auto differs = [&](int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (plain.At(x, y) != withIcon.At(x, y)) return true;
    return false;
  };
  EXPECT_TRUE(differs(4, 9, 20, 25));
  EXPECT_FALSE(differs(2, 2, 4, 32));
  EXPECT_TRUE(differs(23, 2, 170, 32));

  // The icon goes with its button.
  DestroyWindow(Item(214));
  EXPECT_FALSE(GetIconInfo(icon, &info));
}

TEST_F(Controls, HyperlinkIsUnderlinedAndSubclassedOnce) {
  HWND link = Item(103);
  LONG_PTR classProc = GetWindowLongPtrA(link, GWLP_WNDPROC);
  LOGFONTA before;
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), sizeof(before),
             &before);
  MakeHyperlink(dialog, 103);
  LONG_PTR linkProc = GetWindowLongPtrA(link, GWLP_WNDPROC);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0));
  MakeHyperlink(dialog, 103);
  EXPECT_NE(linkProc, classProc);
  EXPECT_EQ(GetWindowLongPtrA(link, GWLP_WNDPROC), linkProc);
  EXPECT_EQ(GetWindowLongPtrA(link, GWLP_USERDATA), classProc);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), font);
  LOGFONTA after;
  ASSERT_TRUE(GetObjectA(font, sizeof(after), &after));
  EXPECT_TRUE(after.lfUnderline);
  EXPECT_EQ(after.lfHeight, before.lfHeight);
  EXPECT_STREQ(after.lfFaceName, before.lfFaceName);

  DestroyWindow(link);
  EXPECT_EQ(GetObjectType(font), 0u);  // the font went with the control
}

// A made-up address scheme whose handler writes the address it got into a file.
class LinkRecorder {
 public:
  LinkRecorder() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    file_ = std::string(dir) + "lirva-opened-link.txt";
    DeleteFileA(file_.c_str());
    std::string command = "cmd.exe /c echo %1>\"" + file_ + "\"";
    RegSetKeyValueA(HKEY_CLASSES_ROOT, "lirvatest", "URL Protocol", REG_SZ, "", 1);
    RegSetValueA(HKEY_CLASSES_ROOT, "lirvatest\\shell\\open\\command", REG_SZ,
                 command.c_str(), static_cast<DWORD>(command.size()));
  }
  ~LinkRecorder() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "lirvatest");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "lirvatest");
    DeleteFileA(file_.c_str());
  }
  // The address the handler got, waiting for it to run; empty when it never does.
  std::string Opened() {
    for (int i = 0; i < 300; ++i) {
      HANDLE f = CreateFileA(file_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
      if (f != INVALID_HANDLE_VALUE) {
        char text[300] = "";
        DWORD got = 0;
        ReadFile(f, text, sizeof(text) - 1, &got, nullptr);
        CloseHandle(f);
        std::string s(text, got);
        size_t end = s.find_first_of("\r\n");
        if (end != std::string::npos) {
          DeleteFileA(file_.c_str());
          return s.substr(0, end);
        }
      }
      Sleep(100);
    }
    return "";
  }

 private:
  std::string file_;
};

TEST_F(Controls, HyperlinkOpensItsCaptionOrItsLinkProperty) {
  LinkRecorder recorder;
  MakeHyperlink(dialog, 103);
  SendMessageA(Item(103), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(recorder.Opened(), "lirvatest:link-opened");

  const char address[] = "lirvatest:from-property";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(address));
  lstrcpyA(static_cast<char*>(GlobalLock(memory)), address);
  GlobalUnlock(memory);
  SetPropA(Item(103), "HLLink", memory);
  SendMessageA(Item(103), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(recorder.Opened(), address);
}

TEST_F(Controls, NewCommonControlsGiveImageListsWithTheLightGreyMask) {
  ForceControlsGeneration(ControlsGeneration::New);
  HWND button = Item(IDC_PLAYER_PLAY);
  ASSERT_TRUE(SetButtonBitmap(dialog, IDC_PLAYER_PLAY, BMP_PLAY));
  BUTTON_IMAGELIST images = {};
  ASSERT_TRUE(SendMessageA(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images)));
  ASSERT_NE(images.himl, nullptr);
  EXPECT_EQ(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(ImageList_GetImageCount(images.himl), 1);
  int width = 0, height = 0;
  ImageList_GetIconSize(images.himl, &width, &height);
  EXPECT_EQ(width, 20);
  EXPECT_EQ(height, 20);

  // Drawn over red, the grey background lets the red through and the glyph doesn't.
  Canvas canvas(20, 20);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all = {0, 0, 20, 20};
  FillRect(canvas.dc, &all, red);
  DeleteObject(red);
  ImageList_Draw(images.himl, 0, canvas.dc, 0, 0, ILD_TRANSPARENT);
  EXPECT_EQ(canvas.At(0, 0), RGB(255, 0, 0));
  int glyph = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) glyph += canvas.At(x, y) != RGB(255, 0, 0);
  EXPECT_GT(glyph, 10);

  // A second bitmap replaces the image list.
  ASSERT_TRUE(SetButtonBitmap(dialog, IDC_PLAYER_PLAY, BMP_STOP));
  BUTTON_IMAGELIST replaced = {};
  SendMessageA(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&replaced));
  EXPECT_NE(replaced.himl, images.himl);
}

TEST_F(Controls, OldCommonControlsGivePlainBitmapsOnTheFaceColour) {
  ForceControlsGeneration(ControlsGeneration::Old);
  HWND button = Item(IDC_PLAYER_SCRUB);
  ASSERT_TRUE(SetButtonBitmap(dialog, IDC_PLAYER_SCRUB, BMP_SCRUB));
  HGDIOBJ bitmap = reinterpret_cast<HGDIOBJ>(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  BUTTON_IMAGELIST images = {};
  SendMessageA(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
  EXPECT_EQ(images.himl, nullptr);

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_EQ(GetPixel(dc, 0, 0), GetSysColor(COLOR_3DFACE));  // the grey background, mapped
  SelectObject(dc, old);
  DeleteDC(dc);

  DestroyWindow(button);
  EXPECT_EQ(GetObjectType(bitmap), 0u);  // the bitmap went with the button
}

TEST_F(Controls, TooltipsHoldTheTableTexts) {
  HWND tooltip = nullptr;
  SetTooltipText(dialog, tooltip, IDC_PLAYER_PLAY, "nothing yet");  // no window: no effect
  AddTooltips(dialog, tooltip, kPlayerTooltips, kPlayerTooltipCount);
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 10);
  for (const TooltipRow& row : kPlayerTooltips) {
    EXPECT_EQ(ToolText(tooltip, dialog, reinterpret_cast<UINT_PTR>(Item(row.controlId))),
              row.text);
  }

  HWND first = tooltip;
  const TooltipRow more[] = {{214, "Tag them"}};
  AddTooltips(dialog, tooltip, more, 1);
  EXPECT_EQ(tooltip, first);
  EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 11);

  SetTooltipText(dialog, tooltip, IDC_PLAYER_REWIND, "Rewind faster");
  EXPECT_EQ(ToolText(tooltip, dialog, reinterpret_cast<UINT_PTR>(Item(IDC_PLAYER_REWIND))),
            "Rewind faster");
  DestroyWindow(tooltip);
}

TEST_F(Controls, ToolbarButtonsShowLabelsAndTheirTooltipsTheLongerText) {
  Toolbar toolbar;
  ASSERT_TRUE(CreateToolbar(toolbar, dialog, kMainToolbar));
  EXPECT_EQ(GetDlgCtrlID(toolbar.window), kToolbarId);
  EXPECT_NE(toolbar.memoryDc.get(), nullptr);
  ASSERT_EQ(SendMessageA(toolbar.window, TB_BUTTONCOUNT, 0, 0), 5);
  HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar.window, TB_GETTOOLTIPS, 0, 0));
  ASSERT_NE(tips, nullptr);
  std::vector<int> images;
  for (int i = 0; i < kToolbarRowCount; ++i) {
    const ToolbarRow& row = kMainToolbar[i];
    TBBUTTON button = {};
    SendMessageA(toolbar.window, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    EXPECT_EQ(button.idCommand, row.command);
    EXPECT_TRUE(button.fsState & TBSTATE_ENABLED);
    images.push_back(button.iBitmap);
    char label[64] = "";
    SendMessageA(toolbar.window, TB_GETBUTTONTEXTA, row.command, reinterpret_cast<LPARAM>(label));
    EXPECT_STREQ(label, row.label);
    EXPECT_EQ(ToolText(tips, toolbar.window, row.command), row.tooltip);
  }
  // Each row has its own image, added behind the standard ones.
  for (int i = 0; i < kToolbarRowCount; ++i) {
    EXPECT_GE(images[i], STD_PRINT + 1);
    for (int j = 0; j < i; ++j) EXPECT_NE(images[i], images[j]);
  }
}

TEST_F(Controls, ToolbarTooltipUnderTheMouseShowsTheRowsTooltip) {
  Toolbar toolbar;
  ASSERT_TRUE(CreateToolbar(toolbar, dialog, kMainToolbar));
  SetForegroundWindow(dialog);  // the toolbar's tooltips show in the active window
  RECT button;
  SendMessageA(toolbar.window, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&button));
  MapWindowPoints(toolbar.window, nullptr, reinterpret_cast<POINT*>(&button), 2);
  SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
  HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar.window, TB_GETTOOLTIPS, 0, 0));
  for (int i = 0; i < 250 && !IsWindowVisible(tips); ++i) {
    PumpWaiting();
    Sleep(20);
  }
  char text[128] = "";
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.lpszText = text;
  SendMessageA(tips, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  SetCursorPos(1000, 700);
  EXPECT_TRUE(IsWindowVisible(tips));
  EXPECT_EQ(tool.uId, static_cast<UINT_PTR>(IDM_REMOVEFILES));
  EXPECT_STREQ(text, "Remove files from the list (Ctrl+Delete)");
}

TEST_F(Controls, ToolbarBackgroundShadesFromLightToDark) {
  Toolbar toolbar;
  ASSERT_TRUE(CreateToolbar(toolbar, dialog, kMainToolbar));
  PaintToolbarBackground(toolbar);
  HBITMAP first = toolbar.background.get();
  ASSERT_NE(first, nullptr);
  PaintToolbarBackground(toolbar);  // as after a resize
  EXPECT_EQ(GetObjectType(first), 0u);  // the old background is gone

  RECT client;
  GetClientRect(toolbar.window, &client);
  BITMAP size;
  GetObjectA(toolbar.background.get(), sizeof(size), &size);
  EXPECT_EQ(size.bmWidth, client.right);
  EXPECT_EQ(size.bmHeight, client.bottom);
  const int h = client.bottom;
  ASSERT_GT(h, 4);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  COLORREF top = GetPixel(toolbar.memoryDc.get(), 0, 0);
  EXPECT_EQ(GetPixel(toolbar.memoryDc.get(), client.right - 1, 0), top);
  COLORREF last = GetPixel(toolbar.memoryDc.get(), client.right / 2, h - 1);
  for (int i = 0; i < 3; ++i) {
    const int t = Scaled(Channel(face, i), 1.1), b = Scaled(Channel(face, i), 0.87);
    EXPECT_EQ(Channel(top, i), t) << "channel " << i;
    // The last row is one step short of the bottom colour.
    const double expected = t + (b - t) * (h - 1.0) / h;
    EXPECT_NEAR(Channel(last, i), expected, 1.0) << "channel " << i;
  }
}

TEST_F(Controls, ListColumnsAndTheFirstColumnFit) {
  HWND list = Item(kList);
  RECT client;
  GetClientRect(list, &client);
  const ListColumn columns[] = {{"File", 100, LVCFMT_LEFT}, {"Folder", -1, LVCFMT_LEFT}, {}};
  AddListColumns(dialog, kList, columns);
  EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), 100);
  EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0), client.right - 100);

  SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, 50);
  FitFirstColumn(dialog, kList);
  EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), client.right - 50);
  SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, client.right - 20);
  FitFirstColumn(dialog, kList);
  EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), 160);
}

TEST_F(Controls, ComboIsFilledInTableOrder) {
  const char* const genres[] = {"Rock", "Blues", "", nullptr};
  FillCombo(dialog, IDC_GENRE, genres);
  HWND combo = Item(IDC_GENRE);
  ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
  char text[32];
  SendMessageA(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "Blues");
  FillCombo(dialog, IDC_GENRE, genres, 2);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 5);
}

// Not a check: shows the controls for a screenshot (scripts/screenshot-controls).
TEST_F(Controls, DISABLED_ShowForAScreenshot) {
  Toolbar toolbar;
  ASSERT_TRUE(CreateToolbar(toolbar, dialog, kMainToolbar));
  PaintToolbarBackground(toolbar);
  shownToolbar = &toolbar;
  SetButtonIcon(dialog, kTagButton, MAKEINTRESOURCEA(IDI_TAGBUTTON));
  TrackHover(Item(214));
  TrackHover(Item(215));
  SendMessageA(Item(215), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  for (const BitmapButtonRow& row : kPlayerBitmapButtons) {
    SetButtonBitmap(dialog, row.controlId, row.bitmap);
  }
  SendDlgItemMessageA(dialog, IDC_PLAYER_PLAY, BM_SETCHECK, BST_CHECKED, 0);
  MakeHyperlink(dialog, 103);
  AddListColumns(dialog, kList, kMainListColumns);
  FitFirstColumn(dialog, kList);
  const char* const genres[] = {"Rock", nullptr};
  FillCombo(dialog, IDC_GENRE, genres);
  SendDlgItemMessageA(dialog, IDC_GENRE, CB_SETCURSEL, 0, 0);
  InvalidateRect(dialog, nullptr, TRUE);

  UpdateWindow(dialog);
  PumpWaiting();

  // The mouse rests on the Help button until its tooltip shows (the toolbar's
  // tooltips show in the active window only).
  SetForegroundWindow(dialog);
  RECT help;
  SendMessageA(toolbar.window, TB_GETITEMRECT, kToolbarRowCount - 1,
               reinterpret_cast<LPARAM>(&help));
  MapWindowPoints(toolbar.window, nullptr, reinterpret_cast<POINT*>(&help), 2);
  SetCursorPos((help.left + help.right) / 2, (help.top + help.bottom) / 2);
  HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar.window, TB_GETTOOLTIPS, 0, 0));
  for (int i = 0; i < 150 && !IsWindowVisible(tips); ++i) {
    PumpWaiting();
    Sleep(20);
  }
  // Tells the screenshot script that the dialog is painted.
  if (const char* marker = getenv("LIRVA_SHOWN_MARKER")) {
    CloseHandle(CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  const char* seconds = getenv("LIRVA_SHOW_SECONDS");
  const DWORD end = GetTickCount() + 1000 * (seconds ? atoi(seconds) : 5);
  while (GetTickCount() < end) {
    PumpWaiting();
    Sleep(20);
  }
}
}  // namespace
