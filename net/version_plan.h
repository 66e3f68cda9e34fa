// The decisions of the version check and of the start-up schedule, over plain
// values: what the window code then does with the settings, the server and the user.
#pragma once
#include <cstdint>
#include <string>

constexpr int kProgramVersion = 100;  // "1.00"
constexpr int64_t kVersionCheckPeriod = 7776000;  // 90 days, in seconds
constexpr int64_t kRelatedOfferDelay = 3888000;   // 45 days

// What a version check does with the server's answer.
enum class VersionVerdict {
  Nothing,  // no version in the answer, or a reference older than this program: say nothing
  Current,  // the server has nothing newer (said only by a manual check)
  Newer,    // ask whether to see the new version's page
};
// `server`: the answer's version (−1 without one); `lastRead`: the version an
// automatic check last told about (a manual check compares with this program's).
VersionVerdict JudgeVersion(int server, bool automatic, int lastRead);

// What the start-up schedule does at `now`, given the stored "RelatedPCheck" text,
// the first start ("RelatedPDate") and the last automatic check ("VCheckDate"),
// in seconds since 1970 (0: not stored yet).
struct StartupPlan {
  bool storeFirstStart = false;  // "RelatedPDate" = now
  bool offerRelated = false;     // "RelatedPCheck" = "1", the related-programs wizard, nothing more
  bool storeCheckDate = false;   // "VCheckDate" = now
  bool checkVersion = false;     // the automatic version check (after storing the date)
};
StartupPlan PlanStartup(const std::string& relatedChecked, int64_t firstStart, int64_t lastCheck, int64_t now);
