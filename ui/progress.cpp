#include "ui/progress.h"

#include <commctrl.h>

#include "resource.h"
#include "ui/dialog.h"

namespace {
constexpr int kLineFirst = 100;
constexpr int kProgressBar = 102;
constexpr DWORD kWaitBudgetMs = 3600000;

ProgressTask* TaskOf(HWND window) {
  return reinterpret_cast<ProgressTask*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Takes and serves one waiting message; false when none was waiting.
bool ServeOneMessage(HWND window) {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
    return false;
  }
  if (!IsDialogMessageW(window, &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}
}  // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* task = reinterpret_cast<ProgressTask*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    task->window = window;
    SetWindowTextA(window, task->title.c_str());
    SendDlgItemMessageA(window, kProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageA(window, kProgressBar, PBM_SETPOS, 0, 0);
    return 1;
  }
  ProgressTask* task = TaskOf(window);
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    if (task && task->window == window) task->window = nullptr;
    DestroyWindow(window);
    return 1;
  }
  if (task && task->window == window) return task->OnProgressMessage(message, wParam, lParam);
  return 0;
}

int RunProgress(ProgressTask& task, HWND owner) {
  if (task.window) return kProgressFailed;
  HWND window = CreateDialogParamW(ProgramInstance(), TemplateW(DLG_PROGRESS).name(), owner, ProgressDialogProc,
                                   reinterpret_cast<LPARAM>(&task));
  if (!window) return kProgressFailed;
  if (owner) EnableWindow(owner, FALSE);
  int result = task.Run();
  if (owner) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
    SetFocus(owner);
  }
  if (task.window && IsWindow(task.window)) DestroyWindow(task.window);
  task.window = nullptr;
  return result;
}

void SetProgressLine(int line, HWND window, const char* text) {
  if (window) SetItemUtf8(window, kLineFirst + line, text);
}

void SetProgressFraction(double fraction, HWND window) {
  if (!window || !IsWindow(window)) return;
  int percent = static_cast<int>(fraction * 100);  // truncated: 0.999 shows 99
  SendDlgItemMessageA(window, kProgressBar, PBM_SETPOS, percent, 0);
}

bool PumpMessages(HWND window) {
  while (window && IsWindow(window)) {
    if (!ServeOneMessage(window)) return false;
  }
  return true;
}

bool PumpMessagesOrStop(PropertyPageBase& page) {
  for (;;) {
    if (page.stop) return true;
    HWND window = page.hwnd();
    if (!window || !IsWindow(window)) return true;
    if (!ServeOneMessage(window)) return page.stop;
  }
}

int WaitWhilePumping(HWND window, HANDLE handle) {
  DWORD left = kWaitBudgetMs;
  while (left > 0) {
    DWORD start = GetTickCount();
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, 0xFF);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0) return 0;
    if (r == WAIT_TIMEOUT || r == WAIT_FAILED) return 2;
    if (PumpMessages(window)) return 1;
    DWORD elapsed = GetTickCount() - start;
    left -= elapsed < left ? elapsed : left;
  }
  return 2;
}
