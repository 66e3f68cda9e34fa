// The hidden "LTQN" window through which worker threads reach the user-interface
// thread: a posted WM_USER runs the owner's handler in that thread's message loop.
#pragma once
#include <windows.h>

class NotifyTarget {
 public:
  virtual void OnNotify() = 0;

 protected:
  ~NotifyTarget() = default;
};

class NotifyWindow {
 public:
  // Creates the window on the calling thread, which must run a message loop.
  explicit NotifyWindow(NotifyTarget* owner);
  ~NotifyWindow();
  NotifyWindow(const NotifyWindow&) = delete;
  NotifyWindow& operator=(const NotifyWindow&) = delete;

  // From any thread: asks for OnNotify on the window's thread.
  void Post() const;
  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
};
