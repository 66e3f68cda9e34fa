// The about box and the splash, looked at pixel by pixel under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>

#include "resource.h"
#include "ui/about.h"
#include "test_pump.h"

namespace {

// Dark pixels (every second one) in a rectangle of a window's client area.
int DarkPixels(HWND window, int left, int top, int right, int bottom) {
  HDC dc = GetDC(window);
  int dark = 0;
  for (int y = top; y < bottom; y += 2)
    for (int x = left; x < right; x += 2) {
      COLORREF c = GetPixel(dc, x, y);
      if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 300) ++dark;
    }
  ReleaseDC(window, dc);
  return dark;
}

// The share, in percent, of pure black pixels on the client's last row.
int BlackPercentOnLastRow(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  HDC dc = GetDC(window);
  int black = 0;
  for (int x = 0; x < client.right; ++x)
    if (GetPixel(dc, x, client.bottom - 1) == RGB(0, 0, 0)) ++black;
  ReleaseDC(window, dc);
  return black * 100 / client.right;
}

// Name and version on the left below the picture, the distributor on the right.
void ExpectTextsDrawn(HWND window, SIZE picture) {
  int top = picture.cy + 1, bottom = picture.cy + 80;
  EXPECT_GT(DarkPixels(window, 2, top, picture.cx / 3, bottom), 20) << "name and version";
  EXPECT_GT(DarkPixels(window, picture.cx * 2 / 3, top, picture.cx - 4, bottom), 20)
      << "distributor";
}

SIZE ClientSize(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return SIZE{r.right, r.bottom};
}

SIZE RealPictureSize() { return LoadPicture(IDR_ABOUTPICTURE).Size(); }

class WithoutPicture {
 public:
  WithoutPicture() { SetPictureModule(GetModuleHandleA("kernel32.dll")); }
  ~WithoutPicture() { SetPictureModule(nullptr); }
};

// The about box runs modally: `check` runs from a thread timer inside its loop,
// then OK is pressed; a box that does not close is ended by force.
struct AboutRun {
  std::function<void(HWND)> check;
  bool checked = false, busy = false, forced = false;
  int ticks = 0;
}* gRun = nullptr;

BOOL CALLBACK TakeAboutBox(HWND w, LPARAM out) {
  if (!GetDlgItem(w, IDC_ABOUT_PICTURE)) return TRUE;
  *reinterpret_cast<HWND*>(out) = w;
  return FALSE;
}

void CALLBACK AboutTick(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeAboutBox, reinterpret_cast<LPARAM>(&box));
  if (!box || gRun->busy) return;
  if (!gRun->checked) {
    gRun->checked = gRun->busy = true;
    RedrawWindow(box, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    gRun->check(box);
    gRun->busy = false;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  } else if (++gRun->ticks > 20) {
    gRun->forced = true;
    EndDialog(box, 0);
  }
}

void RunAboutBox(std::function<void(HWND)> check) {
  AboutRun run;
  run.check = std::move(check);
  gRun = &run;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, AboutTick);
  ShowAboutBox(nullptr);
  KillTimer(nullptr, timer);
  gRun = nullptr;
  EXPECT_TRUE(run.checked) << "the about box did not open";
  EXPECT_FALSE(run.forced) << "OK did not close the about box";
}

int DialogUnits10(HWND box) {
  RECT unit = {0, 0, 0, 10};
  MapDialogRect(box, &unit);
  return unit.bottom;
}

}  // namespace

TEST(About, BoxLaysOutAroundThePictureStaysOnClickAndShowsTextsAndSeparator) {
  SIZE picture = RealPictureSize();
  ASSERT_EQ(picture.cx, 360) << "the picture did not load";
  ASSERT_EQ(picture.cy, 130);
  RunAboutBox([&](HWND box) {
    int u = DialogUnits10(box);
    SIZE client = ClientSize(box);
    EXPECT_EQ(client.cx, picture.cx);
    EXPECT_EQ(client.cy, picture.cy + u + 112);
    HWND law = GetDlgItem(box, IDC_ABOUT_PICTURE);
    SIZE lawSize = ClientSize(law);
    EXPECT_EQ(lawSize.cx, picture.cx);
    EXPECT_EQ(lawSize.cy, picture.cy + 88);
    RECT ok;
    GetWindowRect(GetDlgItem(box, IDOK), &ok);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&ok), 2);
    EXPECT_EQ(ok.left, picture.cx - 106);
    EXPECT_EQ(ok.top, picture.cy + 96);
    EXPECT_EQ(ok.right - ok.left, 100);
    EXPECT_EQ(ok.bottom - ok.top, u + 9);

    SendMessageA(law, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
    SendMessageA(law, WM_TIMER, kSplashTimerId, 0);
    ASSERT_TRUE(IsWindow(law));
    EXPECT_EQ(BlackPercentOnLastRow(law), 100);
    ExpectTextsDrawn(law, picture);
    EXPECT_GT(DarkPixels(law, 0, 0, picture.cx, picture.cy), 100) << "the picture";
  });
}

// ---------------------------------------------------------------------------
// The splash

namespace {
class Splash : public testing::Test {
 protected:
  void TearDown() override {
    if (IsWindow(state_.window)) DestroyWindow(state_.window);
  }
  SplashState state_;
};
}  // namespace

TEST_F(Splash, IsCentredOnTheDesktopWithTheTextsButNoSeparator) {
  SIZE picture = RealPictureSize();
  ShowSplash(state_, nullptr);
  ASSERT_TRUE(IsWindowVisible(state_.window));
  RECT desktop, r;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(state_.window, &r);
  int width = picture.cx + 4, height = picture.cy + 88;
  EXPECT_EQ(r.left, (desktop.right - width) / 2);
  EXPECT_EQ(r.top, (desktop.bottom - height) / 2);
  EXPECT_EQ(r.right - r.left, width);
  EXPECT_EQ(r.bottom - r.top, height);
  ExpectTextsDrawn(state_.window, picture);
  EXPECT_EQ(BlackPercentOnLastRow(state_.window), 0);
}

TEST_F(Splash, ClosesOnClickOrTimerAndIsReplacedWhenShownAgain) {
  ShowSplash(state_, nullptr);
  SendMessageA(state_.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_FALSE(IsWindow(state_.window));
  ShowSplash(state_, nullptr);
  SendMessageA(state_.window, WM_TIMER, kSplashTimerId, 0);
  EXPECT_FALSE(IsWindow(state_.window));

  ShowSplash(state_, nullptr);
  HWND first = state_.window;
  ShowSplash(state_, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindow(state_.window));
}

TEST_F(Splash, WithoutPictureSplashAndAboutBoxUse300By0AndShowTheTexts) {
  WithoutPicture none;
  ShowSplash(state_, nullptr);
  RECT r;
  GetWindowRect(state_.window, &r);
  EXPECT_EQ(r.right - r.left, 304);
  EXPECT_EQ(r.bottom - r.top, 88);
  ExpectTextsDrawn(state_.window, SIZE{300, 0});
  DestroyWindow(state_.window);

  RunAboutBox([&](HWND box) {
    SIZE client = ClientSize(box);
    EXPECT_EQ(client.cx, 300);
    EXPECT_EQ(client.cy, DialogUnits10(box) + 112);
    ExpectTextsDrawn(GetDlgItem(box, IDC_ABOUT_PICTURE), SIZE{300, 0});
  });
}

// ---------------------------------------------------------------------------
// For scripts/screenshot-about: the splash, then the about box, a few seconds
// each, saying on standard output when each one is up.

namespace {
void ShowFor(DWORD milliseconds) { PumpFor(milliseconds); }
void Say(const char* line) {
  printf("%s\n", line);
  fflush(stdout);
}
}  // namespace

TEST(AboutScreenshot, DISABLED_ShowSplashThenAboutBox) {
  SplashState state;
  ShowSplash(state, nullptr);
  Say("SPLASH UP");
  ShowFor(4000);
  if (IsWindow(state.window)) DestroyWindow(state.window);
  RunAboutBox([](HWND) { Say("ABOUT UP"), ShowFor(4000); });
}
