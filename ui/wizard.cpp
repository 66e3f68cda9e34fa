#include "ui/wizard.h"

#include "common/win32/handles.h"

void AddWizardPage(WizardPages& list, PropertyPageBase& page, const char* templateName, const char* title,
                   const char* subtitle) {
  PROPSHEETPAGEA description = {};
  description.dwSize = sizeof description;
  description.dwFlags = PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
  description.hInstance = ProgramInstance();
  description.pszTemplate = templateName;
  description.pfnDlgProc = PageDialogProc;
  description.lParam = reinterpret_cast<LPARAM>(&page);
  description.pszHeaderTitle = title;
  description.pszHeaderSubTitle = subtitle;
  list.pages.push_back(description);
  list.objects.push_back(&page);
  page.wizardFlags = kWizBack | kWizNext;
}

bool RunWizard(WizardPages& list, HWND owner) {
  if (list.pages.empty()) return false;
  list.objects.front()->wizardFlags = kWizNext;
  list.objects.back()->wizardFlags = kWizBack | kWizFinish;
  if (list.objects.size() == 1) list.objects.front()->wizardFlags = kWizBack | kWizFinish;
  // A header bitmap of one pixel in the window colour, alive while the sheet is.
  Bitmap header;
  {
    WindowDc screen(nullptr);
    header.Reset(CreateCompatibleBitmap(screen.get(), 1, 1));
    MemoryDc memory(screen.get());
    Selected selected(memory.get(), header.get());
    SetPixel(memory.get(), 0, 0, GetSysColor(COLOR_WINDOW));
  }

  PROPSHEETHEADERA sheet = {};
  sheet.dwSize = sizeof sheet;
  sheet.dwFlags = PSH_WIZARD97 | PSH_HEADER | PSH_USEHBMHEADER | PSH_PROPSHEETPAGE | PSH_USEICONID;
  sheet.hwndParent = owner;
  sheet.hInstance = ProgramInstance();
  sheet.pszIcon = MAKEINTRESOURCEA(1);
  sheet.pszCaption = "";
  sheet.nPages = UINT(list.pages.size());
  sheet.ppsp = list.pages.data();
  sheet.hbmHeader = header.get();
  return PropertySheetA(&sheet) == 1;
}
