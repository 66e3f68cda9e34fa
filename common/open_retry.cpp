#include "common/open_retry.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

bool RetryOpen(const std::function<OpenAttempt()>& attempt,
               const std::function<void(uint32_t ms)>& sleep, uint32_t budgetMs) {
  OpenAttempt r = attempt();
  if (r != OpenAttempt::SharingViolation) return r == OpenAttempt::Opened;
  uint32_t wait = (budgetMs + 127) / 256;
  if (wait == 0) wait = 1;  // a tiny budget must still end
  uint32_t remaining = budgetMs;
  for (;;) {
    sleep(wait);
    r = attempt();
    if (r != OpenAttempt::SharingViolation) return r == OpenAttempt::Opened;
    if (remaining <= wait) return false;
    remaining -= wait;
    wait *= 2;
  }
}

static void SleepMs(uint32_t ms) {
#ifdef _WIN32
  Sleep(ms);
#else
  struct timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
#endif
}

bool OpenWithRetry(File& file, const char* path, FileMode mode, uint32_t budgetMs) {
  return RetryOpen(
      [&] {
        if (file.Open(path, mode)) return OpenAttempt::Opened;
        return file.LastFailureWasSharingViolation() ? OpenAttempt::SharingViolation
                                                     : OpenAttempt::Failed;
      },
      SleepMs, budgetMs);
}
