// The setup wizard: the licence terms page and the installing page in a wizard
// property sheet, then the installed program started.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/path.h"
#include "resource.h"
#include "net/win32/siblings.h"
#include "setup/win32/folders.h"
#include "setup/win32/installer.h"
#include "setup/win32/setup_wizard.h"
#include "ui/wizard.h"
#include "common/win32/program.h"
#include "common/win32/wide.h"

namespace {

class TermsPage : public PropertyPageBase {
 public:
  void OnInitDialog() override {
    HRSRC found = FindResourceA(ProgramInstance(), MAKEINTRESOURCEA(IDR_LICENCE), MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(ProgramInstance(), found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes) SetDlgItemTextA(hwnd(), IDC_TERMS_TEXT, std::string(bytes, SizeofResource(ProgramInstance(), found)).c_str());
    UpdateControls();
  }
  void OnCommand(WPARAM, UINT) override { UpdateControls(); }
  void UpdateControls() override {
    HWND sheet = GetParent(hwnd());
    if (IsDlgButtonChecked(hwnd(), IDC_TERMS_DISAGREE) == BST_CHECKED) {
      PostMessageA(sheet, PSM_SETFINISHTEXTA, 0, reinterpret_cast<LPARAM>("Close"));
      PostMessageA(sheet, PSM_SETWIZBUTTONS, 0, kWizFinish);
      disagreed_ = true;
    } else {
      PostMessageA(sheet, PSM_SETWIZBUTTONS, 0, IsDlgButtonChecked(hwnd(), IDC_TERMS_AGREE) == BST_CHECKED ? kWizNext : 0);
      disagreed_ = false;
    }
  }
  void OnSetActive() override {}
  // "Close" after disagreeing ends the wizard; nothing is installed.
  bool OnOK() override { return true; }
  bool OnCancel() override {
    if (disagreed_) return true;
    return MessageBoxA(GetParent(hwnd()),
                       "Setup is not complete. If you quit now, the program will not be installed.\r\n\r\nYou may "
                       "run the setup program again at another time to complete the installation.\r\n\r\nExit Setup?",
                       "Exit Setup", MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
  }

 private:
  bool disagreed_ = false;
};

}  // namespace

void RunSetup() {
  const std::string folder = InstallFolder();
  // Each level in turn: Program Files, the maker, the program.
  CreateDirectoryW(Wide(DirectoryOf(DirectoryOf(folder))).c_str(), nullptr);
  CreateDirectoryW(Wide(DirectoryOf(folder)).c_str(), nullptr);
  CreateDirectoryW(Wide(folder).c_str(), nullptr);

  TermsPage terms;
  InstallingPage installing;
  installing.installFolder = folder;
  WizardPages list;
  const bool quiet = QuietInstall();
  if (!quiet)
    AddWizardPage(list, terms, DLG_TERMS, "Licence Agreement",
                  "Please read the following important information before continuing.");
  AddWizardPage(list, installing, DLG_INSTALLING, "Installing", "Lirva v 1.00");
  RelatedPages related;
  if (!quiet) AddRelatedPages(list, related);
  RunWizard(list, nullptr);

  if (installing.installed) {
    const std::string command = "\"" + JoinPath(folder, "lirva.exe") + "\" -install";
    StartCommand(command);
  }
}
