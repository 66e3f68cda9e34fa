#include "playback/win32/notify_window.h"

#include "resource.h"

namespace {

LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_USER) return DefWindowProcA(window, message, wParam, lParam);
  if (auto* owner = reinterpret_cast<NotifyTarget*>(GetWindowLongPtrA(window, GWLP_USERDATA)))
    owner->OnNotify();
  return 0;
}

// The class is registered once, the first time a window is made.
void RegisterNotifyClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = NotifyProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = CLASS_NOTIFYWINDOW;
  registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

NotifyWindow::NotifyWindow(NotifyTarget* owner) {
  RegisterNotifyClass();
  window_ = CreateWindowExA(0, CLASS_NOTIFYWINDOW, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
}

NotifyWindow::~NotifyWindow() {
  if (window_) DestroyWindow(window_);
}

void NotifyWindow::Post() const {
  if (window_) PostMessageA(window_, WM_USER, 0, 0);
}
