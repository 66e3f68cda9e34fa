#include "app/tagging_job.h"

#include <cstdio>

#include "common/path.h"
#include "tags/tag_record.h"

const char* const kFieldKeys[kFieldCount] = {"TITLE",  "DATE",    "ARTIST", "TRACKNUMBER",
                                             "ALBUM",  "COMMENT", "GENRE"};

int RunTaggingJob(TaggingJob& job, TaggingProgress& progress) {
  job.written = 0;
  progress.SetFraction(0);
  progress.SetLine(1, "Please wait...");
  unsigned processed = 0;
  for (const std::string& path : job.files) {
    progress.SetFraction(job.total ? double(processed) / job.total : 0);
    if (!progress.Pump()) return kTaggingCancelled;
    progress.SetLine(0, FileNameOf(path));

    TagRecord record;
    record.writeId3v2 = true;
    if (!ReadTags(record, path.c_str())) {
      progress.FileFailed(path, true);
      ++processed;
      continue;
    }
    if (job.copyTitle) {
      record.SetFromText("TITLE", FileTitleOf(path), true);
    } else {
      for (int i = 0; i < kFieldCount; ++i)
        if (job.changed[i]) record.SetFromText(kFieldKeys[i], job.texts[i], true);
    }
    if (WriteTags(record, path.c_str()))
      ++job.written;
    else
      progress.FileFailed(path, false);
    ++processed;
  }
  return kTaggingDone;
}

std::string TaggingResultMessage(const TaggingJob& job, int result) {
  char text[400];
  if (result == kTaggingCancelled) {
    snprintf(text, sizeof text, "Tagging process cancelled. Tags written to %d file(s).",
             job.written);
  } else if (job.written == job.total) {
    snprintf(text, sizeof text, "Tags successfully lirvaed to %d file(s).", job.written);
  } else {
    snprintf(text, sizeof text,
             "Tags successfully lirvaed to %d file(s).\r\n\r\nNot all files could be lirvaed, "
             "possibly due to the file being locked by another program.",
             job.written);
  }
  return text;
}
