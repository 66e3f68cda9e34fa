// Opening a file that another program may hold for a moment (a player, a virus
// scanner): retry with doubling waits while the open fails with a sharing
// violation, within a time budget.
#pragma once
#include <cstdint>
#include <functional>

#include "common/file.h"

enum class OpenAttempt { Opened, SharingViolation, Failed };

// The retry schedule itself, with the attempt and the sleep supplied by the
// caller. Returns true when an attempt opened the file.
bool RetryOpen(const std::function<OpenAttempt()>& attempt,
               const std::function<void(uint32_t ms)>& sleep, uint32_t budgetMs);

// Budgets used by the program.
constexpr uint32_t kTagFileOpenBudgetMs = 1000;
constexpr uint32_t kDownloadOpenBudgetMs = 200;

bool OpenWithRetry(File& file, const char* path, FileMode mode, uint32_t budgetMs);
