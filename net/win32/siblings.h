// Starting the maker's other programs on the selected file, installing them on
// demand from the download server, and the related-programs wizard pages.
#pragma once
#include <windows.h>

#include <string>

#include "net/siblings.h"
#include "ui/wizard.h"

// Runs the sibling on the file inside a progress window (installing it first
// when it is missing); true when it was started.
bool LaunchSibling(const SiblingLauncher& launcher, const std::string& path, HWND owner);

// Downloads <setupName>.exe into the temporary folder and runs it in quiet mode;
// the result of the download (0 done, 1 cancelled, 2 failed). A stop flag that
// becomes true cancels it at once.
int InstallOnDemand(HWND sink, const char* setupName, const volatile bool* stop = nullptr);

// Opens a web page (UTF-8) with the shell's default action.
void OpenPage(HWND owner, const std::string& page);

// The maker's web site (machine setting "WebSite") and a page on it.
std::string MakerSite();

// The selection page: one row per related program, ticked when recommended and
// not installed; the ticked rows are remembered when the page is left.
class SelectRelatedPage : public PropertyPageBase {
 public:
  void OnInitDialog() override;
  void UpdateControls() override;
  void OnCommand(WPARAM command, UINT code) override;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OnOK() override;
};

// Installs the ticked programs on demand; the first failure is reported once and
// its web page opened.
class InstallingRelatedPage : public TimedPage {
 public:
  void DoWork() override;
  bool OnCancel() override {
    stop = true;
    return true;
  }
};

struct RelatedPages {
  SelectRelatedPage select;
  InstallingRelatedPage installing;
};

// The two pages added to a wizard (the setup wizard's pages 3 and 4), or run on
// their own.
void AddRelatedPages(WizardPages& list, RelatedPages& pages);
void RunRelatedProgramsWizard(HWND owner);
