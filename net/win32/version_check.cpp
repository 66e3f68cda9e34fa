#include "net/win32/version_check.h"

#include <shellapi.h>

#include "common/path.h"
#include "common/win32/settings.h"
#include "net/win32/siblings.h"
#include "net/http_text.h"
#include "net/version_plan.h"
#include "net/win32/http_client.h"
#include "ui/progress.h"

namespace {

class CheckTask : public ProgressTask {
 public:
  CheckTask() : ProgressTask("Checking for Updates") {}
  int Run() override {
    result = FetchToMemory(window, VersionUrl().c_str(), response);
    return result == kHttpOk ? kProgressDone : kProgressFailed;
  }
  int result = kHttpFailed;
  char response[512] = {};
};

int Setting(const char* name, int defaultValue) { return ReadMachineNumber(kSettingsArea, name, defaultValue); }

}  // namespace

std::string VersionUrl() {
  return LowerCase("http://" + ReadServerSetting(kVersionHost) + "/versions/Lirva.txt");
}

void CheckVersion(HWND main, bool automatic) {
  CheckTask task;
  RunProgress(task, main);
  if (task.result != kHttpOk) return;
  const std::string response = task.response;
  const int server = ServerVersion(response);
  switch (JudgeVersion(server, automatic, Setting(kLastCheckVersionValue, kDefaultLastCheckVersion))) {
    case VersionVerdict::Nothing: return;
    case VersionVerdict::Current:
      MessageBoxA(main, "The current version is up-to-date", "Version Current", MB_OK | MB_ICONINFORMATION);
      return;
    case VersionVerdict::Newer: break;
  }
  if (MessageBoxA(main,
                  "An updated version of this software is now available for download online. Do you want to see "
                  "more information about the new version?",
                  "Update Version Available", MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES)
    return;
  std::string address;
  // Only a web page is opened: a server does not get to start programs or open files.
  if (!InfoAddress(response, &address) || !IsWebAddress(address)) return;
  ShellExecuteA(main, nullptr, address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  WriteMachineNumber(kSettingsArea, kLastCheckVersionValue, server);
}

void RunStartupSchedule(HWND main, time_t now) {
  const StartupPlan plan = PlanStartup(ReadMachineText(kSettingsArea, kRelatedPCheckValue, ""),
                                       Setting(kRelatedPDateValue, kDefaultRelatedPDate),
                                       Setting(kVCheckDateValue, kDefaultVCheckDate), int64_t(now));
  if (plan.storeFirstStart) WriteMachineNumber(kSettingsArea, kRelatedPDateValue, int(now));
  if (plan.offerRelated) {
    WriteMachineText(kSettingsArea, kRelatedPCheckValue, "1");
    RunRelatedProgramsWizard(main);
    return;
  }
  if (plan.storeCheckDate) WriteMachineNumber(kSettingsArea, kVCheckDateValue, int(now));
  if (plan.checkVersion) CheckVersion(main, true);
}
