#include "app/win32/startup.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "app/win32/main_dialog.h"
#include "common/win32/settings.h"
#include "common/win32/handles.h"
#include "common/path.h"
#include "common/win32/program.h"
#include "resource.h"
#include "setup/run_marker.h"
#include "setup/win32/setup_wizard.h"
#include "setup/win32/uninstall.h"
#include "net/win32/siblings.h"
#include "net/win32/version_check.h"
#include "common/win32/wide.h"

namespace {

constexpr UINT kStandardDialogClass = 0x8002;  // the atom of "#32770"

std::string VendorAddress(const char* path) { return WebPage(MakerSite(), path, false); }

void RefuseNewerWindows() {
  std::string message =
      "This version 1.00 of Lirva will only work on Windows Vista (or earlier). By the time you "
      "see this an upgraded version of the software which does work under this version should "
      "be able to be downloaded from " +
      VendorAddress("download/") +
      ". Please download the new file and run the installer again.\r\n\r\nIf you have just "
      "downloaded the file and this message appears again, please see " +
      VendorAddress("kb/10015") +
      " for information about where to download the newer version for this software.";
  MessageBoxA(nullptr, message.c_str(), "Updated Version Required", MB_OK | MB_ICONERROR);
  OpenPage(nullptr, VendorAddress("kb/10015"));
}

void RunEditorWindow(HANDLE mutex) {
  MainDialog main;
  HWND window = CreateDialogParamW(ProgramInstance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                   SharedDialogProc, reinterpret_cast<LPARAM>(&main));
  ReleaseMutex(mutex);
  if (!window) return;
  main.RaiseSplash();
  RunStartupSchedule(window, time(nullptr));
  RunModelessLoop(main);
}

// The per-user log folder, made at every start; nothing is written there.
void MakeLogFolder() {
  wchar_t appData[MAX_PATH] = {};
  std::string base;
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData) == S_OK) base = Utf8(appData);
  else if (SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, appData) == S_OK) base = Utf8(appData);
  else base = "C:\\";
  std::string path = base;
  for (const char* level : {"Vantoral", "Lirva", "Logs"}) {
    path = JoinPath(path, level);
    CreateDirectoryW(Wide(path).c_str(), nullptr);
  }
}

}  // namespace

HWND FindRunningEditor() {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, MAKEINTATOM(kStandardDialogClass),
                                            kMainWindowCaption)) != nullptr;) {
    if (!GetWindow(w, GW_OWNER)) return w;
  }
  return nullptr;
}

void CloseRunningEditors() {
  for (int attempt = 0; attempt < 6; ++attempt) {
    HWND editor = FindRunningEditor();
    if (!editor) return;
    PostMessageA(editor, kCloseRequest, 0, 0);
    PostMessageA(editor, WM_CLOSE, 0, 0);
    Sleep(1000);
  }
}

bool SupportedWindowsVersion() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return true;
  return version.dwMajorVersion < 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion == 0);
}

int RunProgram(HINSTANCE) {
  // Closed on every way out.
  KernelHandle runMutex(CreateMutexA(nullptr, FALSE, kRunMutexName));
  const HANDLE mutex = runMutex.get();
  MakeLogFolder();
  if (!SupportedWindowsVersion()) {
    RefuseNewerWindows();
    return 0;
  }
  const std::string program = ProgramPath();
  SetCurrentDirectoryW(Wide(DirectoryOf(program)).c_str());

  const uint32_t marker = ReadRunMarker(program.c_str());
  if (marker == InstallerMarker || marker == UninstallerMarker) {
    CloseRunningEditors();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (marker == InstallerMarker)
      RunSetup();
    else
      RunUninstall(__argc);
    return 0;
  }
  std::string title = FileTitleOf(program);
  std::transform(title.begin(), title.end(), title.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  if (title.find("SETUP") != std::string::npos) {
    MessageBoxA(nullptr,
                "Installation file corrupt.\n\nA checksum error was detected in your install "
                "file, please redownload file and install again.",
                "Install Error", MB_OK | MB_ICONWARNING);
    return 0;
  }

  WaitForSingleObject(mutex, INFINITE);
  if (HWND running = FindRunningEditor()) {
    PostMessageA(running, kActivateRequest, 0, __argc);
    ReleaseMutex(mutex);
    return 0;
  }
  const ComApartment com;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                              ICC_PROGRESS_CLASS | ICC_BAR_CLASSES |
                                              ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  RunEditorWindow(mutex);
  return 0;
}
