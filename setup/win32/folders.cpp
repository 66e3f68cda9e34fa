#include "setup/win32/folders.h"

#include "common/path.h"
#include "common/win32/settings.h"

namespace {

constexpr const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The system's values are read in the process's own view of the registry.
bool ReadValue(HKEY root, const char* key, const char* name, const char* defaultText, std::string* text) {
  if (ReadRegistryText(root, key, name, text, 0)) return true;
  *text = defaultText;
  return false;
}

// The machine's value, else the user's.
std::string ShellFolder(const char* machineName, const char* userName, const char* defaultText) {
  std::string text;
  if (!ReadValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, machineName, defaultText, &text))
    ReadValue(HKEY_CURRENT_USER, kShellFoldersKey, userName, defaultText, &text);
  return text;
}

}  // namespace

std::string InstallFolder() {
  std::string programFiles;
  ReadValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", "C:\\Program Files", &programFiles);
  return JoinPath(JoinPath(programFiles, "Vantoral"), "Lirva");
}

std::string StartMenuFolder() {
  std::string folder;
  if (!ReadValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Programs", "", &folder))
    ReadValue(HKEY_CURRENT_USER, kShellFoldersKey, "Programs", "", &folder);
  return folder;
}

std::string DesktopFolder() { return ShellFolder("Common Desktop", "Desktop", "c:\\Windows\\Desktop"); }

std::string SharedDataFolder() {
  std::string data;
  ReadValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common AppData", "C:\\", &data);
  return JoinPath(JoinPath(data, "Vantoral"), "Lirva");
}

bool QuietInstall() {
  char value[4];
  return GetEnvironmentVariableA("LQUIET", value, sizeof value) != 0;
}

bool ProgramFilesFolder(std::string* folder) {
  return ReadRegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", folder, 0);
}
