#include "net/win32/version_check.h"

#include <shellapi.h>

#include "common/win32/settings.h"
#include "net/win32/siblings.h"
#include "net/http_text.h"
#include "net/win32/http_client.h"
#include "ui/progress.h"

namespace {

constexpr time_t kVersionCheckPeriod = 7776000;  // 90 days
constexpr time_t kRelatedOfferDelay = 3888000;   // 45 days

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
  std::string host = ReadMachineText(kSettingsArea, "VersionHost", "");
  if (host.empty()) host = kDefaultVersionHost;
  return LowerCaseAscii("http://" + host + "/versions/Lirva.txt");
}

void CheckVersion(HWND main, bool automatic) {
  CheckTask task;
  RunProgress(task, main);
  if (task.result != kHttpOk) return;
  const std::string response = task.response;
  const int server = ServerVersion(response);
  if (server < kProgramVersion) return;  // no "version=", or not a version
  const int reference = automatic ? Setting(kLastCheckVersionValue, kDefaultLastCheckVersion) : kProgramVersion;
  if (reference < kProgramVersion) return;
  if (server <= reference) {
    if (!automatic)
      MessageBoxA(main, "The current version is up-to-date", "Version Current", MB_OK | MB_ICONINFORMATION);
    return;
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
  const std::string offered = ReadMachineText(kSettingsArea, kRelatedPCheckValue, "");
  if (offered.empty() || offered[0] == '0') {
    const int firstStart = Setting(kRelatedPDateValue, kDefaultRelatedPDate);
    if (firstStart == 0) {
      WriteMachineNumber(kSettingsArea, kRelatedPDateValue, int(now));
    } else if (now - time_t(firstStart) > kRelatedOfferDelay) {
      WriteMachineText(kSettingsArea, kRelatedPCheckValue, "1");
      RunRelatedProgramsWizard(main);
      return;
    }
  }
  const int lastCheck = Setting(kVCheckDateValue, kDefaultVCheckDate);
  if (lastCheck == 0) {
    WriteMachineNumber(kSettingsArea, kVCheckDateValue, int(now));
    return;
  }
  if (now - time_t(lastCheck) > kVersionCheckPeriod) {
    WriteMachineNumber(kSettingsArea, kVCheckDateValue, int(now));
    CheckVersion(main, true);
  }
}
