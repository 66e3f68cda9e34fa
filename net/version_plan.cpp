#include "net/version_plan.h"

VersionVerdict JudgeVersion(int server, bool automatic, int lastRead) {
  if (server < kProgramVersion) return VersionVerdict::Nothing;
  const int reference = automatic ? lastRead : kProgramVersion;
  if (reference < kProgramVersion) return VersionVerdict::Nothing;
  if (server <= reference) return automatic ? VersionVerdict::Nothing : VersionVerdict::Current;
  return VersionVerdict::Newer;
}

StartupPlan PlanStartup(const std::string& relatedChecked, int64_t firstStart, int64_t lastCheck, int64_t now) {
  StartupPlan plan;
  if (relatedChecked.empty() || relatedChecked[0] == '0') {
    if (firstStart == 0) {
      plan.storeFirstStart = true;
    } else if (now - firstStart > kRelatedOfferDelay) {
      plan.offerRelated = true;
      return plan;
    }
  }
  if (lastCheck == 0) {
    plan.storeCheckDate = true;
  } else if (now - lastCheck > kVersionCheckPeriod) {
    plan.storeCheckDate = plan.checkVersion = true;
  }
  return plan;
}
