// The program's own installer and uninstaller: the setup wizard (licence terms,
// installing page) with the package extraction and the placement of the installed
// files, shortcuts and uninstall entry; the uninstall that removes them again.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/dialog.h"

// A registry text value of at most 259 characters, in the process's own view of
// the registry (the system's folders and the uninstall entry belong to the build
// that installs); false when the key or the value is missing.
bool ReadRegistryText(HKEY root, const char* key, const char* name, std::string* text);

// The folders of an installation, read from the system's registry values.
std::string InstallFolder();      // Program Files\Vantoral\Lirva
std::string StartMenuFolder();    // empty when the system has none
std::string DesktopFolder();
std::string SharedDataFolder();   // Common AppData\Vantoral\Lirva

// "LQUIET" set to a non-empty value: only the installing page, no click.
bool QuietInstall();

// The "Installing" page: extracts the package on its first timer tick.
class InstallingPage : public TimedPage {
 public:
  InstallingPage() = default;
  void DoWork() override;
  // Cancel is allowed without a question; the extraction, which serves the sheet's
  // messages between its chunks, stops at the next one (the sheet itself goes only
  // when its own loop gets control back).
  bool OnCancel() override {
    stop = true;
    return true;
  }

  std::string installFolder;
  bool installed = false;
};

// Writes the package's entries from the program's own file below the page's
// install folder, tests the checksum and places the installation; false (after its
// message, if any) when anything failed or the page was left.
bool ExtractPackage(InstallingPage& page);
// The uninstaller copy, the markers of both files, the shortcuts, the uninstall entry.
void PlaceInstallation(const std::string& folder);

// The pages of a wizard and the objects behind them; the first page gets Next
// only, the last Back and Finish.
struct WizardPages {
  std::vector<PROPSHEETPAGEA> pages;
  std::vector<PropertyPageBase*> objects;
};
void AddWizardPage(WizardPages& list, PropertyPageBase& page, const char* templateName, const char* title,
                   const char* subtitle);
bool RunWizard(WizardPages& list, HWND owner);

// Runs the whole setup; then starts the installed program when it was installed.
void RunSetup();
// The uninstall: moves itself to the temporary folder first, then asks and removes.
void RunUninstall(int argumentCount);
// Removes a folder with everything below it; whether the folder itself went.
bool RemoveFolderTree(const std::string& folder);
