#include "net/version_plan.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kNow = 2000000000;

// The schedule at its edges: the first start, the offer after 45 days (once), the
// automatic check after 90 days.
TEST(VersionPlan, StartupScheduleAtItsEdges) {
  struct Case {
    const char* what;
    const char* offered;
    int64_t firstStart, lastCheck;
    bool storeFirst, offer, storeCheck, check;
  } cases[] = {
      {"very first start", "", 0, 0, true, false, true, false},
      {"45 days exactly: no offer yet", "", kNow - 45 * kDay, kNow - kDay, false, false, false, false},
      {"45 days and a second: the offer, nothing else", "", kNow - 45 * kDay - 1, 0, false, true, false, false},
      {"offered before: never again", "1", kNow - 400 * kDay, kNow - kDay, false, false, false, false},
      {"'0' counts as not offered", "0", kNow - 46 * kDay, kNow - kDay, false, true, false, false},
      {"90 days exactly: no check", "1", 0, kNow - 90 * kDay, false, false, false, false},
      {"90 days and a second: the check", "1", 0, kNow - 90 * kDay - 1, false, false, true, true},
      {"no check date yet: stored, no check", "1", 0, 0, false, false, true, false},
  };
  for (const Case& c : cases) {
    const StartupPlan plan = PlanStartup(c.offered, c.firstStart, c.lastCheck, kNow);
    EXPECT_EQ(plan.storeFirstStart, c.storeFirst) << c.what;
    EXPECT_EQ(plan.offerRelated, c.offer) << c.what;
    EXPECT_EQ(plan.storeCheckDate, c.storeCheck) << c.what;
    EXPECT_EQ(plan.checkVersion, c.check) << c.what;
  }
}

TEST(VersionPlan, VersionVerdictsManualAndAutomatic) {
  EXPECT_EQ(JudgeVersion(-1, false, 100), VersionVerdict::Nothing) << "no version in the answer";
  EXPECT_EQ(JudgeVersion(99, false, 100), VersionVerdict::Nothing) << "older than this program";
  EXPECT_EQ(JudgeVersion(100, false, 100), VersionVerdict::Current);
  EXPECT_EQ(JudgeVersion(114, false, 114), VersionVerdict::Newer) << "manual: against this program";
  EXPECT_EQ(JudgeVersion(114, true, 114), VersionVerdict::Nothing) << "automatic: already told about";
  EXPECT_EQ(JudgeVersion(115, true, 114), VersionVerdict::Newer);
  EXPECT_EQ(JudgeVersion(100, true, 100), VersionVerdict::Nothing) << "automatic: current says nothing";
  EXPECT_EQ(JudgeVersion(120, true, 50), VersionVerdict::Nothing) << "a stored reference below 1.00";
}

}  // namespace
