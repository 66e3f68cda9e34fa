#include "net/win32/siblings.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/win32/settings.h"
#include "common/path.h"
#include "common/text.h"
#include "common/win32/handles.h"
#include "net/http_text.h"
#include "net/win32/http_client.h"
#include "resource.h"
#include "ui/controls.h"
#include "ui/progress.h"
#include "common/win32/program.h"
#include "common/win32/wide.h"

namespace {

uint32_t selectionMask = 0;  // the related rows ticked when the selection page was left

std::string SiblingKey(const char* product) { return std::string("Software\\Vantoral\\") + product + "\\Settings"; }

// The value under the machine's key, else under the user's; false when neither has it.
bool ReadSiblingValue(const char* product, const char* name, std::string* text) {
  const std::string key = SiblingKey(product);
  return ReadSettingValue(HKEY_LOCAL_MACHINE, key.c_str(), name, text) ||
         ReadSettingValue(HKEY_CURRENT_USER, key.c_str(), name, text);
}

bool SiblingInstalled(const RelatedProgram& program) {
  const std::string key = SiblingKey(program.product);
  std::string value;
  return (ReadSettingValue(HKEY_LOCAL_MACHINE, key.c_str(), program.testedValue, &value) && !value.empty()) ||
         (ReadSettingValue(HKEY_CURRENT_USER, key.c_str(), program.testedValue, &value) && !value.empty());
}

class LaunchTask : public ProgressTask {
 public:
  LaunchTask(const SiblingLauncher& launcher, std::string path)
      : ProgressTask(launcher.progressTitle), launcher_(launcher), path_(std::move(path)) {}

  int Run() override {
    std::string commandTemplate;
    if (!ReadSiblingValue(launcher_.product, launcher_.templateName, &commandTemplate)) {
      if (InstallOnDemand(window, launcher_.setupName) == kHttpOk) {
        for (int i = 0; i < 50; ++i) {
          if (ReadSiblingValue(launcher_.product, launcher_.templateName, &commandTemplate) &&
              !commandTemplate.empty())
            break;
          if (PumpMessages(window)) break;
          Sleep(200);
        }
      }
    }
    if (commandTemplate.empty()) {
      if (MessageBoxA(nullptr,
                      Formatted("The free plugin \"%s\" program is required. Do you want to download it now?",
                                launcher_.displayName)
                          .c_str(),
                      "Download Required", MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES)
        OpenPage(nullptr, WebPage(MakerSite(), launcher_.slug, true));
      return result = kProgressFailed;
    }
    std::wstring line = Wide(SiblingCommandLine(commandTemplate, SiblingArgument(launcher_, path_)));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &startup,
                        &process))
      return result = kProgressFailed;
    KernelHandle thread(process.hThread), running(process.hProcess);
    if (launcher_.wait) {
      SetProgressLine(0, window, Formatted("Please wait for %s", launcher_.displayName).c_str());
      SetProgressLine(1, window, "to close to continue...");
      WaitWhilePumping(window, running.get());
    }
    return result = kProgressDone;
  }

  int result = kProgressFailed;

 private:
  const SiblingLauncher& launcher_;
  std::string path_;
};

}  // namespace

void OpenPage(HWND owner, const std::string& page) {
  ShellExecuteW(owner, nullptr, Wide(page).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string MakerSite() {
  return ReadServerSetting(kWebSite);
}

bool LaunchSibling(const SiblingLauncher& launcher, const std::string& path, HWND owner) {
  LaunchTask task(launcher, path);
  RunProgress(task, owner);
  return task.result == kProgressDone;
}

int InstallOnDemand(HWND sink, const char* setupName, const volatile bool* stop) {
  SetProgressLine(0, sink, "Download install-on-demand");
  SetProgressLine(1, sink, setupName);
  const std::string file = std::string(setupName) + ".exe";
  const std::string target = JoinPath(TempFolder(), file);
  const std::string host = ReadServerSetting(kDownloadHost);
  int result = DownloadToFile(sink, ("http://" + host + "/components/" + file).c_str(), target.c_str(), stop);
  if (result == kHttpFailed) {
    const std::string site = SplitUrl(MakerSite()).hostText;
    result = DownloadToFile(sink, ("http://" + site + "/components/" + file).c_str(), target.c_str(), stop);
  }
  if (result == kHttpOk) {
    SetProgressLine(0, sink, "Running install-on-demand");
    char before[2];
    const bool hadQuiet = GetEnvironmentVariableA("LQUIET", before, sizeof before) != 0;
    std::string previous;
    if (hadQuiet) {
      const DWORD size = GetEnvironmentVariableA("LQUIET", nullptr, 0);
      previous.resize(size);
      GetEnvironmentVariableA("LQUIET", &previous[0], size);
      previous.resize(size ? size - 1 : 0);
    }
    SetEnvironmentVariableA("LQUIET", "1");
    StartCommand("\"" + target + "\"");
    SetEnvironmentVariableA("LQUIET", hadQuiet ? previous.c_str() : nullptr);
  }
  DeleteFileW(Wide(target).c_str());
  return result;
}

// ---- The related-programs pages ------------------------------------------------------

void SelectRelatedPage::OnInitDialog() {
  MakeHyperlink(hwnd(), IDC_RELATED_LINK);
  HWND list = Item(IDC_RELATED_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  RECT client;
  GetClientRect(list, &client);
  LVCOLUMNA column = {};
  column.mask = LVCF_WIDTH;
  column.cx = client.right;
  ListView_InsertColumn(list, 0, &column);
  selectionMask = 0;
  for (int row = 0; row < RelatedProgramCount(); ++row) {
    const RelatedProgram& program = kRelatedPrograms[row];
    const bool installed = SiblingInstalled(program);
    std::string text = program.displayName;
    if (installed)
      text += " [Update]";
    else if (program.recommended)
      text += " [Recommended]";
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = &text[0];
    ListView_InsertItem(list, &item);
    ListView_SetCheckState(list, row, !installed && program.recommended);
  }
  ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  UpdateControls();
}

void SelectRelatedPage::UpdateControls() {
  HWND list = Item(IDC_RELATED_LIST);
  bool ticked = false;
  for (int row = 0; row < RelatedProgramCount(); ++row) ticked = ticked || ListView_GetCheckState(list, row);
  PostMessageA(GetParent(hwnd()), PSM_SETWIZBUTTONS, 0, ticked ? kWizNext : kWizFinish);
}

void SelectRelatedPage::OnCommand(WPARAM, UINT) { UpdateControls(); }

INT_PTR SelectRelatedPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && wParam == IDC_RELATED_LIST) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
    if (change->hdr.code == LVN_ITEMCHANGED) {
      if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED) && change->iItem >= 0 &&
          change->iItem < RelatedProgramCount()) {
        const RelatedProgram& program = kRelatedPrograms[change->iItem];
        SetDlgItemTextA(hwnd(), IDC_RELATED_DESC, program.description);
        SetDlgItemTextA(hwnd(), IDC_RELATED_LINK, WebPage(MakerSite(), program.slug, false).c_str());
      }
      UpdateControls();
    }
  }
  if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Item(IDC_RELATED_LINK)) {
    INT_PTR brush = PageDispatch(message, wParam, lParam);
    SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 192));
    return brush ? brush : reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return PropertyPageBase::HandleMessage(message, wParam, lParam);
}

bool SelectRelatedPage::OnOK() {
  HWND list = Item(IDC_RELATED_LIST);
  selectionMask = 0;
  for (int row = 0; row < RelatedProgramCount(); ++row)
    if (ListView_GetCheckState(list, row)) selectionMask |= 1u << row;
  return true;
}

void InstallingRelatedPage::DoWork() {
  PostMessageA(GetParent(hwnd()), PSM_SETWIZBUTTONS, 0, kWizDisabledFinish);
  bool failedOnce = false, succeeded = false;
  for (int row = 0; row < RelatedProgramCount() && !stop; ++row) {
    if (!(selectionMask & (1u << row))) continue;
    const RelatedProgram& program = kRelatedPrograms[row];
    const int result = InstallOnDemand(hwnd(), program.setupName, &stop);
    if (result == kHttpOk) {
      succeeded = true;
    } else if (result == kHttpCancelled || stop) {
      break;
    } else if (!failedOnce) {
      failedOnce = true;
      MessageBoxA(hwnd(),
                  Formatted("Automatic download of the install-on-demand the component \"%s\" failed. Your firewall "
                            "might have blocked automatic connections. The website will now be opened where you "
                            "can download it manually.",
                            program.displayName)
                      .c_str(),
                  nullptr, MB_OK | MB_ICONERROR);
      OpenPage(hwnd(), WebPage(MakerSite(), program.slug, false));
    }
  }
  // Cancelled: the sheet closes as soon as this returns.
  if (stop) return;
  if (succeeded) Sleep(1500);
  PressNextOrFinish();
}

void AddRelatedPages(WizardPages& list, RelatedPages& pages) {
  AddWizardPage(list, pages.select, DLG_SELECTRELATED, "Select Related Programs",
                "Which related program should also be installed?");
  AddWizardPage(list, pages.installing, DLG_INSTALLING, "Installing Related Programs",
                "Please wait while setup is installing the selected related program(s) on your computer.");
}

void RunRelatedProgramsWizard(HWND owner) {
  RelatedPages pages;
  WizardPages list;
  AddRelatedPages(list, pages);
  RunWizard(list, owner);
}
