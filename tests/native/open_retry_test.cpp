#include <gtest/gtest.h>

#include <vector>

#include "common/open_retry.h"

namespace {
struct Schedule {
  std::vector<uint32_t> sleeps;
  int attempts = 0;
};

bool RunSchedule(Schedule& s, uint32_t budget, int violationsBeforeOpen, OpenAttempt last) {
  return RetryOpen(
      [&] {
        ++s.attempts;
        return s.attempts <= violationsBeforeOpen ? OpenAttempt::SharingViolation : last;
      },
      [&](uint32_t ms) { s.sleeps.push_back(ms); }, budget);
}
}  // namespace

TEST(OpenWithRetry, DoublingWaitsWithinTheBudget) {
  Schedule s;
  EXPECT_FALSE(RunSchedule(s, 1000, 1000, OpenAttempt::Opened));
  EXPECT_EQ(s.sleeps, (std::vector<uint32_t>{4, 8, 16, 32, 64, 128, 256, 512}));
  EXPECT_EQ(s.attempts, 9);

  Schedule d;
  EXPECT_FALSE(RunSchedule(d, 200, 1000, OpenAttempt::Opened));
  uint32_t total = 0;
  for (uint32_t ms : d.sleeps) total += ms;
  EXPECT_EQ(d.sleeps.front(), 1u);
  EXPECT_LE(total, 400u);
}

TEST(OpenWithRetry, StopsAtTheFirstOtherOutcome) {
  Schedule opened;
  EXPECT_TRUE(RunSchedule(opened, 1000, 3, OpenAttempt::Opened));
  EXPECT_EQ(opened.attempts, 4);
  EXPECT_EQ(opened.sleeps, (std::vector<uint32_t>{4, 8, 16}));

  Schedule failed;
  EXPECT_FALSE(RunSchedule(failed, 1000, 0, OpenAttempt::Failed));
  EXPECT_EQ(failed.attempts, 1);
  EXPECT_TRUE(failed.sleeps.empty());
}

TEST(OpenWithRetry, TinyBudgetsEnd) {
  for (uint32_t budget : {0u, 1u, 2u}) {
    Schedule s;
    EXPECT_FALSE(RunSchedule(s, budget, 1000, OpenAttempt::Opened));
    EXPECT_LE(s.attempts, 3);
  }
}
