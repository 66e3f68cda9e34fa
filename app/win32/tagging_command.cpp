// The tag command: the selected files and the changed fields, written in the
// progress window by the same job that lirva-cli runs.
#include <windows.h>

#include "app/win32/main_dialog.h"
#include "ui/progress.h"

namespace {
class TaggingTask : public ProgressTask, public TaggingProgress {
 public:
  explicit TaggingTask(TaggingJob& job) : ProgressTask("Tagging Files..."), job_(job) {}
  int Run() override {
    ran = true;
    return RunTaggingJob(job_, *this);
  }
  void SetFraction(double fraction) override { SetProgressFraction(fraction, window); }
  void SetLine(int line, const std::string& text) override {
    SetProgressLine(line, window, text.c_str());
  }
  bool Pump() override { return !PumpMessages(window); }
  bool ran = false;

 private:
  TaggingJob& job_;
};
}  // namespace

void MainDialog::TagSelectedFiles(bool copyTitle) {
  if (SelectedCount() == 0) {
    MessageBoxA(hwnd(), "There are no files selected!", "Lirva", MB_OK | MB_ICONERROR);
    return;
  }
  TaggingJob job;
  job.copyTitle = copyTitle;
  job.files = SelectedPaths();
  job.total = static_cast<uint16_t>(job.files.size());
  for (int i = 0; i < kFieldCount; ++i) {
    job.texts[i] = ControlText(Item(kFieldControls[i]));
    job.changed[i] = changed_[i];
  }
  TaggingTask task(job);
  int result = RunProgress(task, hwnd());
  if (!task.ran) return;
  std::string message = TaggingResultMessage(job, result);
  MessageBoxUtf8(hwnd(), message, "Lirva", MB_OK | MB_ICONINFORMATION);
  if (result != kTaggingCancelled) LoadFieldsFromSelection(true);
}

