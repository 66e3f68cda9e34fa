// A thread with a stop event: the base of the playback engine (its fill loop), of
// the engine's completion thread and of the waveform view's worker.
#pragma once
#include <windows.h>

#include "common/win32/handles.h"

class WorkerThread {
 public:
  WorkerThread();
  virtual ~WorkerThread();  // derived classes call Stop first, while run can still use them
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts run at `priority` unless it is running; a thread that has finished is
  // waited for (up to 1 s) and its handle closed first.
  void Start(int priority);
  // Asks run to return and waits up to `timeoutMs`, the thread running at the
  // caller's priority meanwhile. True when it has ended (or none was running);
  // false when it still runs: its handle is kept, so a later Stop waits again and
  // nothing it uses may be freed yet.
  bool Stop(DWORD timeoutMs);
  // Stop, and when the thread outlives its time-out, wait for it to end: for an
  // owner that frees what the thread uses next.
  void StopAndWait(DWORD timeoutMs);
  bool Running() const { return running_ != 0; }
  HANDLE Thread() const { return thread_.get(); }

 protected:
  virtual void Run() = 0;
  // The thread's name for debuggers and profilers (Windows 10 and Wine name it).
  virtual const wchar_t* Name() const { return nullptr; }
  // Whether a stop was asked for (polled, no wait).
  bool StopRequested() const;
  // Waits until a stop is asked for, `event` is signalled or the time runs out.
  void WaitFor(HANDLE event, DWORD timeoutMs) const;
  HANDLE StopEvent() const { return stopEvent_.get(); }
  // Called by Stop once the stop is asked for: a thread that waits on something
  // other than the stop event is woken here.
  virtual void OnStopRequested() {}

 private:
  static DWORD WINAPI ThreadMain(LPVOID self);

  KernelHandle thread_;
  volatile LONG running_ = 0;
  mutable volatile LONG stopRequested_ = 0;  // set with the stop event
  KernelHandle stopEvent_;
  CriticalSection startLock_;
};
