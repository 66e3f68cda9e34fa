// The start-up schedule's dates, with the time given: the first start, and the
// automatic check once more than 90 days have passed (the server here refuses, so
// a check fails quietly and only the stored date tells it ran).
#include <gtest/gtest.h>
#include <windows.h>

#include "common/win32/settings.h"
#include "net/win32/version_check.h"

namespace {

TEST(StartupSchedule, FirstStartAndThe90DayBoundary) {
  WriteMachineText(kSettingsArea, "VersionHost", "127.0.0.1:1");
  WriteMachineText(kSettingsArea, kVCheckDateValue, "");
  WriteMachineText(kSettingsArea, kRelatedPDateValue, "");
  WriteMachineText(kSettingsArea, kRelatedPCheckValue, "");
  const time_t first = 1800000000;
  RunStartupSchedule(nullptr, first);
  EXPECT_EQ(ReadMachineNumber(kSettingsArea, kVCheckDateValue, 0), int(first));
  EXPECT_EQ(ReadMachineNumber(kSettingsArea, kRelatedPDateValue, 0), int(first));

  // (The related programs have been offered, so that no wizard comes up here.)
  WriteMachineText(kSettingsArea, kRelatedPCheckValue, "1");
  RunStartupSchedule(nullptr, first + 7776000);  // exactly 90 days: no check
  EXPECT_EQ(ReadMachineNumber(kSettingsArea, kVCheckDateValue, 0), int(first));
  RunStartupSchedule(nullptr, first + 7776001);  // one second more: checked
  EXPECT_EQ(ReadMachineNumber(kSettingsArea, kVCheckDateValue, 0), int(first + 7776001));
  EXPECT_EQ(ReadMachineNumber(kSettingsArea, kRelatedPDateValue, 0), int(first)) << "the first start is kept";
  WriteMachineText(kSettingsArea, "VersionHost", "");
  WriteMachineText(kSettingsArea, kRelatedPCheckValue, "");
}

}  // namespace
