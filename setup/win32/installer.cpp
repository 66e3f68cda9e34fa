#include "setup/win32/installer.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/file.h"
#include "common/path.h"
#include "common/text.h"
#include "common/win32/program.h"
#include "common/win32/handles.h"
#include "common/win32/registry_key.h"
#include "resource.h"
#include "setup/extraction.h"
#include "setup/run_marker.h"
#include "setup/win32/folders.h"
#include "ui/dialog.h"
#include "ui/progress.h"
#include "common/win32/wide.h"

namespace {

constexpr const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lirva";
constexpr const char kInstallError[] = "Install Error";
constexpr const char kCorruptMessage[] =
    "Installation file corrupt.\n\nA checksum error was detected in your install file, please "
    "redownload file and install again.";

// Everyone may do everything in the folder and below it.
void OpenAccess(const std::string& folder) {
  SECURITY_DESCRIPTOR descriptor;
  alignas(DWORD) BYTE aclBuffer[1024];
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION2) ||
      !AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
    return;
  if (AddAccessAllowedAceEx(acl, ACL_REVISION2, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL,
                            everyone) &&
      SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
    SetFileSecurityW(Wide(folder).c_str(), DACL_SECURITY_INFORMATION, &descriptor);
  FreeSid(everyone);
}

// Creates the folder (and gives it the open access list when asked).
void MakeFolder(const std::string& folder, bool open) {
  CreateDirectoryW(Wide(folder).c_str(), nullptr);
  if (open) OpenAccess(folder);
}

std::string EntryFolder(const PackageEntry& entry, const std::string& installFolder) {
  if (!entry.destination) return installFolder;
  const std::string shared = SharedDataFolder();
  MakeFolder(DirectoryOf(shared), true);
  MakeFolder(shared, true);
  if (!*entry.destination) return shared;
  const std::string sub = JoinPath(shared, entry.destination);
  MakeFolder(sub, true);
  return sub;
}

void AppendBytes(const std::string& path, uint32_t value) {
  File file;
  if (!file.Open(path.c_str(), FileMode::Update) || !file.SeekFromStart(file.Size())) return;
  const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  file.WriteFull(bytes, 4);
}

void CreateShortcut(const std::string& shortcut, const std::string& target) {
  const ComApartment com;
  ComRef<IShellLinkW> link;  // the references go before COM does
  ComRef<IPersistFile> file;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out())) &&
      SUCCEEDED(link->SetPath(Wide(target).c_str())) && SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.Out())))
    file->Save(Wide(CutToCharacters(shortcut, MAX_PATH - 1)).c_str(), TRUE);
}

void InstallMessage(HWND owner, const std::string& text) {
  MessageBoxUtf8(owner, text, kInstallError, MB_OK | MB_ICONERROR);
}

// The installing page around the extraction: its lines, its bar and its stop flag.
class PageExtraction : public ExtractionHost {
 public:
  explicit PageExtraction(InstallingPage& page) : page_(page) {}
  std::string OutputPath(const PackageEntry& entry) override {
    return EntryPath(EntryFolder(entry, page_.installFolder), entry.name);
  }
  void OnEntry(const PackageEntry& entry) override { SetProgressLine(1, page_.hwnd(), entry.name); }
  void OnProgress(double fraction) override { SetProgressFraction(fraction, page_.hwnd()); }
  bool StopRequested() override { return PumpMessagesOrStop(page_); }

 private:
  InstallingPage& page_;
};

}  // namespace

bool ExtractPackage(InstallingPage& page) {
  HWND window = page.hwnd();
  const std::string& folder = page.installFolder;
  if (GetFileAttributesW(Wide(folder).c_str()) == INVALID_FILE_ATTRIBUTES) {
    InstallMessage(window,
                   "To install software you must be logged on as this computer's Administrator. If you are "
                   "not able to do this, ask your computer Administrator to log in and run the setup file again.");
    return false;
  }
  for (const char* const* sub = kInstallSubfolders; *sub; ++sub) CreateDirectoryW(Wide(JoinPath(folder, *sub)).c_str(), nullptr);
  SetProgressLine(0, window, "Installing Lirva");
  SetProgressLine(1, window, "Software Licence Terms");

  File source;
  if (!source.Open(ProgramPath().c_str(), FileMode::Read)) return false;
  PageExtraction host(page);
  const ExtractionResult result = ExtractPackageEntries(source, kPackageTable, host);
  source.Close();
  switch (result.outcome) {
    case ExtractionOutcome::Done: break;
    case ExtractionOutcome::Stopped:
    case ExtractionOutcome::Unreadable: return false;
    case ExtractionOutcome::InUse:
      InstallMessage(window, Formatted("Please check you have exited any previous running instances of Lirva "
                                       "and any other programs that might be using the file \"%s\". Then run "
                                       "the installer again.\r\n\r\nInstallation cannot be completed because "
                                       "the file is currently being used.",
                                       result.path));
      return false;
    case ExtractionOutcome::CannotWrite:
      InstallMessage(window, Formatted("Installation cannot be completed because the file \"%s\" cannot be "
                                       "written to.",
                                       result.path));
      return false;
    case ExtractionOutcome::Corrupt: InstallMessage(window, kCorruptMessage); return false;
  }
  PlaceInstallation(folder);
  page.installed = true;
  return true;
}

void PlaceInstallation(const std::string& folder) {
  const std::string program = JoinPath(folder, "lirva.exe");
  const std::string uninstaller = JoinPath(folder, "uninst.exe");
  CopyFileW(Wide(program).c_str(), Wide(uninstaller).c_str(), FALSE);
  AppendBytes(program, 0);
  AppendBytes(uninstaller, UninstallerMarker);
  const std::string startMenu = StartMenuFolder();
  if (!startMenu.empty()) {
    CreateDirectoryW(Wide(startMenu).c_str(), nullptr);
    const std::string entry = JoinPath(startMenu, "Lirva");
    CreateDirectoryW(Wide(entry).c_str(), nullptr);
    CreateShortcut(JoinPath(entry, "Lirva.lnk"), program);
  }
  CreateShortcut(JoinPath(DesktopFolder(), "Lirva.lnk"), program);
  RegistryKey key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Out(), nullptr) ==
      ERROR_SUCCESS) {
    const char name[] = "Lirva Uninstall";
    RegSetValueExA(key.get(), "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
    const std::wstring command = Wide(uninstaller);
    RegSetValueExW(key.get(), L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   DWORD((command.size() + 1) * sizeof(wchar_t)));
  }
}

void InstallingPage::DoWork() {
  PostMessageA(GetParent(hwnd()), PSM_SETWIZBUTTONS, 0, kWizDisabledFinish);
  if (ExtractPackage(*this))
    PressNextOrFinish();
  else
    End(IDCANCEL);
}
