// The tests' message pumps: serve what waits on this thread's queue, for a time or
// until a condition holds.
#pragma once
#include <windows.h>

// Serves every waiting message once.
inline void PumpWaiting() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Serves messages until `done()` holds or `ms` pass; whether it held.
template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  for (;;) {
    PumpWaiting();
    if (done()) return true;
    if (int(end - GetTickCount()) <= 0) return false;
    Sleep(2);
  }
}

// Serves messages for `ms`.
inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}
