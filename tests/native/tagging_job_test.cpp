// The tagging job's loop: which fields it writes, what it skips, when it stops,
// and what it reports.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/tagging_job.h"
#include "tags/tag_record.h"
#include "tests/native/test_files.h"

namespace {
class ScriptedProgress : public TaggingProgress {
 public:
  int cancelBeforeFile = -1;  // Pump answers "cancelled" at this file (0-based)
  int pumps = 0;
  std::vector<std::string> lines0;
  std::vector<std::string> failedPaths;
  void SetFraction(double) override {}
  void SetLine(int line, const std::string& text) override {
    if (line == 0) lines0.push_back(text);
  }
  bool Pump() override { return pumps++ != cancelBeforeFile; }
  void FileFailed(const std::string& path, bool) override { failedPaths.push_back(path); }
};

Bytes Mp3WithTags(const char* title, const char* artist) {
  TempFile f(Bytes{0xFF, 0xFB, 0x90, 0x64, 1, 2, 3, 4}, ".mp3");
  TagRecord r;
  r.Set("TITLE", title);
  r.Set("ARTIST", artist);
  WriteTags(r, f.c_str());
  return f.Read();
}

TagRecord Read(const TempFile& f) {
  TagRecord r;
  ReadTags(r, f.c_str());
  return r;
}
}  // namespace

TEST(TaggingJob, WritesOnlyChangedFieldsAndKeepsEachFilesOwn) {
  TempFile a(Mp3WithTags("Song A", "Old"), ".mp3"), b(Mp3WithTags("Song B", "Old"), ".mp3");
  TempFile other(Bytes{1, 2, 3}, ".ogg");
  TaggingJob job;
  job.files = {a.path(), other.path(), b.path()};
  job.total = 3;
  job.texts[2] = "New Artist";  // changed
  job.changed[2] = true;
  job.texts[0] = "ignored title";  // not changed: must not be written
  job.texts[5] = "";               // changed to empty: removes the comment
  job.changed[5] = true;
  ScriptedProgress progress;
  EXPECT_EQ(RunTaggingJob(job, progress), kTaggingDone);
  EXPECT_EQ(job.written, 2);
  EXPECT_EQ(Read(a).Get("ARTIST"), "New Artist");
  EXPECT_EQ(Read(a).Get("TITLE"), "Song A");
  EXPECT_EQ(Read(b).Get("TITLE"), "Song B");
  EXPECT_EQ(progress.failedPaths, std::vector<std::string>{other.path()});
  EXPECT_EQ(progress.lines0.size(), 3u);
  EXPECT_EQ(TaggingResultMessage(job, kTaggingDone),
            "Tags successfully lirvaed to 2 file(s).\r\n\r\nNot all files could be lirvaed, "
            "possibly due to the file being locked by another program.");
}

TEST(TaggingJob, CancelStopsBetweenFilesAndReportsTheCount) {
  std::vector<std::unique_ptr<TempFile>> files;
  TaggingJob job;
  for (int i = 0; i < 5; ++i) {
    files.push_back(std::make_unique<TempFile>(Mp3WithTags("T", "Old"), ".mp3"));
    job.files.push_back(files.back()->path());
  }
  job.total = 5;
  job.texts[2] = "New";
  job.changed[2] = true;
  ScriptedProgress progress;
  progress.cancelBeforeFile = 3;
  EXPECT_EQ(RunTaggingJob(job, progress), kTaggingCancelled);
  EXPECT_EQ(job.written, 3);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Read(*files[i]).Get("ARTIST"), i < 3 ? "New" : "Old") << i;
  EXPECT_EQ(TaggingResultMessage(job, kTaggingCancelled),
            "Tagging process cancelled. Tags written to 3 file(s).");
}

TEST(TaggingJob, CopyTitleTakesTheFileNameAndIgnoresTheFields) {
  TempFile a(Mp3WithTags("Old title", "Keep"), ".mp3");
  TaggingJob job;
  job.files = {a.path()};
  job.total = 1;
  job.copyTitle = true;
  job.texts[2] = "not this";
  job.changed[2] = true;
  ScriptedProgress progress;
  RunTaggingJob(job, progress);
  std::string name = a.path().substr(a.path().find_last_of("/\\") + 1);
  EXPECT_EQ(Read(a).Get("TITLE"), name.substr(0, name.size() - 4));
  EXPECT_EQ(Read(a).Get("ARTIST"), "Keep");
  EXPECT_EQ(TaggingResultMessage(job, kTaggingDone), "Tags successfully lirvaed to 1 file(s).");
}
