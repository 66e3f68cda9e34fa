// The tagging job: the fields the user changed, written into every selected file.
// It has no window of its own; the progress dialog (or the command-line front end)
// supplies the progress reports and the cancel check.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kFieldCount = 7;
// Field positions in the editor's order: Title, Year, Artist, Track, Album, Comment, Genre.
extern const char* const kFieldKeys[kFieldCount];

struct TaggingJob {
  std::vector<std::string> files;     // full paths, in list order
  std::string texts[kFieldCount];     // the current field texts
  bool changed[kFieldCount] = {};     // which fields differ from the loaded texts
  bool copyTitle = false;             // "Copy Filename as Title"
  uint16_t total = 0;
  uint16_t written = 0;
};

class TaggingProgress {
 public:
  virtual ~TaggingProgress() = default;
  virtual void SetFraction(double fraction) = 0;
  virtual void SetLine(int line, const std::string& text) = 0;
  // Serves pending messages; false once the user has cancelled.
  virtual bool Pump() = 0;
  // Told about each file that could not be read or written (the editor stays quiet).
  virtual void FileFailed(const std::string& path, bool readFailed) {}
};

enum TaggingResult { kTaggingDone = 0, kTaggingCancelled = 2 };

int RunTaggingJob(TaggingJob& job, TaggingProgress& progress);

// The message that reports a run, with "\r\n" line ends as the message box shows it.
std::string TaggingResultMessage(const TaggingJob& job, int result);
