#include "playback/win32/worker_thread.h"

WorkerThread::WorkerThread() : stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

WorkerThread::~WorkerThread() {
  // A thread that outlives the time-out would run on in freed memory: wait for it.
  if (!Stop(7000) && thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

namespace {

// SetThreadDescription is there from Windows 10 on: looked up, not linked.
void NameThisThread(const wchar_t* name) {
  using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC found = kernel ? GetProcAddress(kernel, "SetThreadDescription") : nullptr;
  if (found && name) reinterpret_cast<Describe>(reinterpret_cast<void*>(found))(GetCurrentThread(), name);
}

}  // namespace

DWORD WINAPI WorkerThread::ThreadMain(LPVOID self) {
  WorkerThread* worker = static_cast<WorkerThread*>(self);
  NameThisThread(worker->Name());
  worker->Run();
  InterlockedExchange(&worker->running_, 0);
  return 0;
}

void WorkerThread::Start(int priority) {
  Lock lock(startLock_);
  if (thread_ && running_) return;
  if (thread_) {
    WaitForSingleObject(thread_.get(), 1000);
    thread_.Reset();
  }
  ResetEvent(stopEvent_.get());
  InterlockedExchange(&stopRequested_, 0);
  InterlockedExchange(&running_, 1);
  thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  if (thread_)
    SetThreadPriority(thread_.get(), priority);
  else
    InterlockedExchange(&running_, 0);
}

bool WorkerThread::Stop(DWORD timeoutMs) {
  if (!thread_) return true;
  InterlockedExchange(&stopRequested_, 1);
  SetEvent(stopEvent_.get());
  OnStopRequested();
  SetThreadPriority(thread_.get(), GetThreadPriority(GetCurrentThread()));
  if (WaitForSingleObject(thread_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  thread_.Reset();
  return true;
}

void WorkerThread::StopAndWait(DWORD timeoutMs) {
  if (!Stop(timeoutMs) && thread_) {
    WaitForSingleObject(thread_.get(), INFINITE);
    Stop(0);
  }
}

// A flag beside the event: asking is a memory read, where a wait on the event
// would be a call to the system (under Wine a round trip to its server) on every
// column, buffer and pass of the loops that ask.
bool WorkerThread::StopRequested() const { return InterlockedCompareExchange(&stopRequested_, 0, 0) != 0; }

void WorkerThread::WaitFor(HANDLE event, DWORD timeoutMs) const {
  HANDLE both[2] = {stopEvent_.get(), event};
  WaitForMultipleObjects(event ? 2 : 1, both, FALSE, timeoutMs);
}
