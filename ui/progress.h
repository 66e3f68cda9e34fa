// Long operations run on the user-interface thread inside a small progress window
// and serve the message queue between their steps; closing the window (Cancel or
// Escape) is their cancel signal.
#pragma once
#include <windows.h>

#include <string>

class PropertyPageBase;

// Results of an operation run in the progress window.
enum ProgressResult { kProgressDone = 0, kProgressCancelled = 1, kProgressFailed = 2 };

class ProgressTask {
 public:
  explicit ProgressTask(std::string title) : title(std::move(title)) {}
  virtual ~ProgressTask() = default;
  // Does the work; returns the run's result.
  virtual int Run() = 0;
  virtual INT_PTR OnProgressMessage(UINT message, WPARAM wParam, LPARAM lParam) { return 0; }

  HWND window = nullptr;  // the progress window while it exists
  std::string title;
};

// Shows the progress window over the disabled owner, runs the task, and returns its
// result; 2 when the window can't be made (or the task already has one).
int RunProgress(ProgressTask& task, HWND owner);
INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Works with the progress window and with any page holding controls 100, 101, 102.
void SetProgressLine(int line, HWND window, const char* text);
void SetProgressFraction(double fraction, HWND window);

// Serves every waiting message; true ("gone") as soon as the window no longer exists.
bool PumpMessages(HWND window);
// The same for a timed page; true ("stop") once the page's stop flag is set.
bool PumpMessagesOrStop(PropertyPageBase& page);
// Waits for `handle` while serving messages: 0 signalled, 1 window closed, 2 after an hour.
int WaitWhilePumping(HWND window, HANDLE handle);
