// Wizards: property-sheet pages (PropertyPageBase) shown as a modal wizard-97 sheet.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "ui/dialog.h"

// The pages of a wizard and the objects behind them; the first page gets Next
// only, the last Back and Finish.
struct WizardPages {
  std::vector<PROPSHEETPAGEA> pages;
  std::vector<PropertyPageBase*> objects;
};
void AddWizardPage(WizardPages& list, PropertyPageBase& page, const char* templateName, const char* title,
                   const char* subtitle);
// Shows the pages with the program's icon and a one-pixel header in the window
// colour; true when the sheet returned 1.
bool RunWizard(WizardPages& list, HWND owner);
