// The installing page: the package extracted from the program's own file into the
// install folder, then the placement of the uninstaller, the shortcuts and the
// uninstall entry.
#pragma once
#include <windows.h>

#include <string>

#include "ui/dialog.h"

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
