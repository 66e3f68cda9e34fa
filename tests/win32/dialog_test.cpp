// The dialog framework and the progress window, driven with real messages and real
// key presses under Wine.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "ui/dialog.h"
#include "ui/progress.h"

namespace {

using Step = std::function<void()>;

// Runs `steps` one per timer tick on the current thread, whatever modal loop is
// running; gives up (and ends the loop through `abort`) after too many ticks.
class StepTimer {
 public:
  explicit StepTimer(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    id_ = SetTimer(nullptr, 0, 60, Tick);
  }
  ~StepTimer() {
    KillTimer(nullptr, id_);
    current_ = nullptr;
  }
  bool Finished() const { return next_ >= steps_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    StepTimer* self = current_;
    if (!self || self->busy_ || self->Finished()) return;
    self->busy_ = true;
    self->steps_[self->next_++]();
    self->busy_ = false;
  }
  static StepTimer* current_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool busy_ = false;
  UINT_PTR id_ = 0;
};
StepTimer* StepTimer::current_ = nullptr;

void PressKey(WORD vk, bool down) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &in, sizeof in);
}

void TapKey(WORD vk) {
  PressKey(vk, true);
  PressKey(vk, false);
}

class CountingModal : public DialogBase {
 public:
  bool allowOK = false, allowCancel = false;
  int okCalls = 0, cancelCalls = 0, destroyCalls = 0;
  bool OnOK() override { return ++okCalls, allowOK; }
  bool OnCancel() override { return ++cancelCalls, allowCancel; }
  void OnDestroy() override { ++destroyCalls; }
};

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

}  // namespace

TEST(Dialog, ModalStaysOpenWhileOnOKOrOnCancelRefuse) {
  CountingModal d;
  bool openAfterRefusedOK = false, openAfterRefusedEscape = false;
  StepTimer steps({
      [&] { SendMessageA(d.Item(IDOK), BM_CLICK, 0, 0); },
      [&] { openAfterRefusedOK = d.hwnd() && IsWindow(d.hwnd()); },
      [&] { SetForegroundWindow(d.hwnd()); SetFocus(d.Item(300)); },
      [&] { TapKey(VK_ESCAPE); },
      [&] { openAfterRefusedEscape = d.hwnd() && IsWindow(d.hwnd()); },
      [&] { d.allowOK = true; SendMessageA(d.Item(IDOK), BM_CLICK, 0, 0); },
  });
  INT_PTR result = RunModal(d, "TESTMODAL", nullptr);
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(openAfterRefusedOK);
  EXPECT_TRUE(openAfterRefusedEscape);
  EXPECT_EQ(d.okCalls, 2);
  EXPECT_EQ(d.cancelCalls, 1);
  EXPECT_EQ(d.destroyCalls, 1);  // End ran it; the later WM_DESTROY no longer reached us
  EXPECT_EQ(d.hwnd(), nullptr);
}

namespace {
class KeyDialog : public ModelessDialog {
 public:
  std::vector<UINT> downs, repeats, ups;
  void OnInitDialog() override { ShowWindow(hwnd(), SW_SHOW); }
  bool OnKeyDown(UINT key) override { return downs.push_back(key), true; }
  bool OnKeyRepeat(UINT key) override { return repeats.push_back(key), true; }
  bool OnKeyUp(UINT key) override { return ups.push_back(key), false; }
};
}  // namespace

TEST(Dialog, ModelessLoopGivesKeysWithModifiersAndReenablesTheOwner) {
  HWND owner = CreateDialogParamA(ProgramInstance(), "TESTOWNER", nullptr, PlainProc, 0);
  ASSERT_TRUE(owner);
  KeyDialog d;
  bool ownerDisabledDuringRun = false;
  StepTimer steps({
      [&] { ownerDisabledDuringRun = !IsWindowEnabled(owner); SetForegroundWindow(d.hwnd()); },
      [&] {
        PressKey(VK_CONTROL, true);
        TapKey('N');
        PressKey(VK_CONTROL, false);
      },
      [&] {
        // A held key: the first press, then auto-repeats (bit 30 set).
        PostMessageA(d.hwnd(), WM_KEYDOWN, VK_RIGHT, 1);
        PostMessageA(d.hwnd(), WM_KEYDOWN, VK_RIGHT, 1 | (1 << 30));
        PostMessageA(d.hwnd(), WM_KEYDOWN, VK_RIGHT, 1 | (1 << 30));
        PostMessageA(d.hwnd(), WM_KEYUP, VK_RIGHT, 1 | (3u << 30));
      },
      [&] { d.End(0); },
  });
  ASSERT_TRUE(RunModeless(d, "TESTMODAL", owner));
  EXPECT_TRUE(ownerDisabledDuringRun);
  EXPECT_TRUE(IsWindowEnabled(owner));
  ASSERT_GE(d.downs.size(), 3u);
  EXPECT_EQ(d.downs[0], VK_CONTROL | kKeyCtrl);
  EXPECT_EQ(d.downs[1], 'N' | kKeyCtrl);
  EXPECT_EQ(d.downs.back(), UINT(VK_RIGHT));
  EXPECT_EQ(d.repeats, (std::vector<UINT>{VK_RIGHT, VK_RIGHT}));
  EXPECT_EQ(d.ups.back(), UINT(VK_RIGHT));
  EXPECT_FALSE(RunModeless(d, "NO SUCH TEMPLATE", nullptr));
  DestroyWindow(owner);
}

namespace {
class TestApp : public AppWindowBase {
 public:
  bool allowClose = false;
  bool OnCancel() override { return allowClose; }
};

bool QuitWasPosted() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}
}  // namespace

TEST(Dialog, AppWindowIgnoresEnterAndEscapeAndPostsQuitWhenDestroyed) {
  TestApp app;
  HWND w = CreateDialogParamA(ProgramInstance(), "TESTMODAL", nullptr, SharedDialogProc,
                              reinterpret_cast<LPARAM>(&app));
  ASSERT_TRUE(w);
  EXPECT_TRUE(SendMessageA(w, WM_GETICON, ICON_BIG, 0));
  EXPECT_TRUE(SendMessageA(w, WM_GETICON, ICON_SMALL, 0));
  SendMessageA(w, WM_COMMAND, IDOK, 0);
  SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
  SendMessageA(w, WM_CLOSE, 0, 0);
  SendMessageA(w, WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(IsWindow(w));
  EXPECT_EQ(app.hwnd(), w);
  EXPECT_FALSE(QuitWasPosted());
  app.allowClose = true;
  SendMessageA(w, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(app.hwnd(), nullptr);
  EXPECT_TRUE(QuitWasPosted());

  // Another copy's close request ends it whatever OnCancel says.
  TestApp other;
  HWND w2 = CreateDialogParamA(ProgramInstance(), "TESTMODAL", nullptr, SharedDialogProc,
                               reinterpret_cast<LPARAM>(&other));
  SendMessageA(w2, kCloseRequest, 0, 0);
  EXPECT_FALSE(IsWindow(w2));
  EXPECT_TRUE(QuitWasPosted());
}

namespace {
class GatePage : public PropertyPageBase {
 public:
  GatePage() : PropertyPageBase(kWizNext) {}
  bool allowNext = false;
  int okCalls = 0;
  bool OnOK() override { return ++okCalls, allowNext; }
};

class WorkPage : public TimedPage {
 public:
  WorkPage() : TimedPage(kWizBack | kWizFinish) {}
  int work = 0;
  void DoWork() override { ++work; }
};

PROPSHEETPAGEA PageOf(PropertyPageBase& page) {
  PROPSHEETPAGEA p = {};
  p.dwSize = sizeof p;
  p.hInstance = ProgramInstance();
  p.pszTemplate = "TESTPAGE";
  p.pfnDlgProc = PageDialogProc;
  p.lParam = reinterpret_cast<LPARAM>(&page);
  return p;
}

HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}
}  // namespace

TEST(Dialog, WizardPagesHoldOnRefusalAndTimedPageWorksOnce) {
  GatePage gate;
  WorkPage worker;
  PROPSHEETPAGEA pages[2] = {PageOf(gate), PageOf(worker)};
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE;
  header.hInstance = ProgramInstance();
  header.nPages = 2;
  header.ppsp = pages;

  HWND sheet = nullptr;
  bool heldOnGate = false, onWorker = false, stoppedAfterBack = false;
  int workAfterEntering = -1;
  StepTimer steps({
      [&] { sheet = GetParent(gate.hwnd()); PropSheet_PressButton(sheet, PSBTN_NEXT); },
      [&] { heldOnGate = CurrentPage(sheet) == gate.hwnd(); },
      [&] { gate.allowNext = true; PropSheet_PressButton(sheet, PSBTN_NEXT); },
      [&] {},
      [&] {
        onWorker = CurrentPage(sheet) == worker.hwnd() && !worker.stop;
        workAfterEntering = worker.work;
        PropSheet_PressButton(sheet, PSBTN_BACK);
      },
      [&] { stoppedAfterBack = worker.stop && CurrentPage(sheet) == gate.hwnd(); },
      [&] { PropSheet_PressButton(sheet, PSBTN_CANCEL); },
  });
  PropertySheetA(&header);
  EXPECT_TRUE(heldOnGate);
  EXPECT_EQ(gate.okCalls, 2);
  EXPECT_TRUE(onWorker);
  EXPECT_EQ(workAfterEntering, 1);
  EXPECT_TRUE(stoppedAfterBack);
  EXPECT_EQ(worker.work, 1);
}

// ---------------------------------------------------------------------------
// The progress window

namespace {
class FnTask : public ProgressTask {
 public:
  explicit FnTask(std::function<int(FnTask&)> body) : ProgressTask("Testing..."), body_(body) {}
  int Run() override { return body_(*this); }

 private:
  std::function<int(FnTask&)> body_;
};

// Pumps until the window is gone or `rounds` run out.
bool PumpUntilGone(HWND window, int rounds = 100) {
  for (int i = 0; i < rounds; ++i) {
    if (PumpMessages(window)) return true;
    Sleep(10);
  }
  return false;
}

int Percent(HWND window) { return int(SendDlgItemMessageA(window, 102, PBM_GETPOS, 0, 0)); }
}  // namespace

TEST(Progress, ShowsTitleLinesAndTruncatedPercent) {
  char title[64] = {}, line0[64] = {}, line1[64] = {};
  int at999 = -1, at1 = -1;
  FnTask task([&](FnTask& t) {
    GetWindowTextA(t.window, title, sizeof title);
    SetProgressLine(0, t.window, "song.mp3");
    SetProgressLine(1, t.window, "Please wait...");
    GetDlgItemTextA(t.window, 100, line0, sizeof line0);
    GetDlgItemTextA(t.window, 101, line1, sizeof line1);
    SetProgressFraction(0.999, t.window);
    at999 = Percent(t.window);
    SetProgressFraction(1.0, t.window);
    at1 = Percent(t.window);
    return 0;
  });
  EXPECT_EQ(RunProgress(task, nullptr), 0);
  EXPECT_STREQ(title, "Testing...");
  EXPECT_STREQ(line0, "song.mp3");
  EXPECT_STREQ(line1, "Please wait...");
  EXPECT_EQ(at999, 99);
  EXPECT_EQ(at1, 100);
  EXPECT_EQ(task.window, nullptr);
}

TEST(Progress, EscapeCancelsAndTheOwnerComesBack) {
  HWND owner = CreateDialogParamA(ProgramInstance(), "TESTOWNER", nullptr, PlainProc, 0);
  ASSERT_TRUE(owner);
  bool ownerDisabled = false;
  HWND closed = nullptr;
  FnTask task([&](FnTask& t) {
    ownerDisabled = !IsWindowEnabled(owner);
    SetForegroundWindow(t.window);
    SetFocus(GetDlgItem(t.window, IDCANCEL));
    PumpMessages(t.window);
    closed = t.window;
    TapKey(VK_ESCAPE);
    if (!PumpUntilGone(t.window)) return 0;
    SetProgressFraction(0.5, t.window);  // after close: nothing happens
    SetProgressFraction(0.5, closed);
    return 1;
  });
  EXPECT_EQ(RunProgress(task, owner), 1);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_FALSE(IsWindow(closed));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(GetActiveWindow(), owner);
  DestroyWindow(owner);
}

TEST(Progress, WaitWhilePumpingTellsProcessEndFromWindowClose) {
  int processResult = -1, closeResult = -1;
  FnTask task([&](FnTask& t) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    char cmd[] = "cmd.exe /c exit 0";
    if (CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      processResult = WaitWhilePumping(t.window, pi.hProcess);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    PostMessageA(t.window, WM_COMMAND, IDCANCEL, 0);
    closeResult = WaitWhilePumping(t.window, never);
    CloseHandle(never);
    return 1;
  });
  EXPECT_EQ(RunProgress(task, nullptr), 1);
  EXPECT_EQ(processResult, 0);
  EXPECT_EQ(closeResult, 1);
}

TEST(Progress, RefusesATaskThatAlreadyHasAWindow) {
  bool ran = false;
  FnTask task([&](FnTask&) { return ran = true, 0; });
  HWND other = CreateDialogParamA(ProgramInstance(), "TESTOWNER", nullptr, PlainProc, 0);
  task.window = other;
  EXPECT_EQ(RunProgress(task, nullptr), 2);
  EXPECT_FALSE(ran);
  DestroyWindow(other);
}
