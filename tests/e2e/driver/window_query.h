// Finding and reading windows of other processes, with waits that always end.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "protocol.h"

namespace driver {

constexpr long kDefaultTimeoutMs = 5000;
constexpr DWORD kPollMs = 20;

// The window of argument `i`, or its control `id=` when that option is given.
HWND TargetWindow(Args& args, size_t i);

std::string ClassOf(HWND window);
// The caption as the system keeps it: never waits for the window's thread.
std::string CaptionOf(HWND window);
// WM_GETTEXT through the window's own thread (edit contents, for example).
bool TextOf(HWND window, DWORD timeoutMs, std::string* text);
DWORD ProcessOf(HWND window);
HWND OwnerOf(HWND window);

// SendMessageTimeout that gives up after `timeoutMs` or when the thread hangs.
bool SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs,
                LRESULT* result);

// Which top-level windows a command means: the options class=, caption=, contains=,
// pid=, unowned=1, visible=1 and child=<id> (the window has a control of that id).
struct WindowFilter {
  bool Read(Args& args);
  bool Matches(HWND window) const;

  bool byClass = false, byCaption = false, byContains = false;
  std::string className, caption, contains;
  DWORD pid = 0;
  bool unowned = false, visibleOnly = false;
  bool byChild = false;
  int childId = 0;
};

std::vector<HWND> TopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);
// The first matching top-level window (topmost in z-order), waiting up to `timeoutMs`.
HWND WaitForWindow(const WindowFilter& filter, DWORD timeoutMs);
// Polls `done` every kPollMs until it holds or `timeoutMs` have passed.
template <typename Done>
bool WaitUntil(DWORD timeoutMs, Done done) {
  DWORD start = GetTickCount();
  while (true) {
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

// Appends the fields that describe a window: handle, class, caption, owner or
// control id, visible, enabled, process id.
void DescribeWindow(HWND window, bool asChild, Reply& reply);

}  // namespace driver

namespace driver {

// Makes the top-level window of `target` the foreground window and, when `target` is
// a control, gives it the keyboard focus. Waits until both have happened.
bool Activate(HWND target, DWORD timeoutMs, std::string* why);
// The window with the keyboard focus in the thread of `window`, or null.
HWND FocusOfThread(HWND window);

}  // namespace driver
