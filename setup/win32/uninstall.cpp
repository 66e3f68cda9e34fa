// The uninstall: the copy in the install folder hands over to a copy of itself in
// the temporary folder, which asks and removes what setup placed.
#include "setup/win32/uninstall.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "common/path.h"
#include "common/win32/handles.h"
#include "common/win32/program.h"
#include "common/win32/registry_key.h"
#include "common/win32/settings.h"
#include "setup/win32/folders.h"
#include "common/win32/wide.h"

namespace {

using DeleteKeyFunction = LONG(WINAPI*)(HKEY, LPCSTR);

// folder\name, or false when it would not fit in a path (then nothing is done
// with it: a cut path would name something else).
bool Joined(const std::string& folder, const char* name, std::string* path) {
  *path = JoinPath(folder, name);
  return path->size() == folder.size() + 1 + std::strlen(name);
}

void DeleteFiles(const std::string& folder, const char* pattern, bool folders) {
  std::string query;
  if (!Joined(folder, pattern, &query)) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(Wide(query).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string path;
    const std::string name = Utf8(found.cFileName);
    if (name[0] == '.' || !Joined(folder, name.c_str(), &path)) continue;
    const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!folders) {
      DeleteFileW(Wide(path).c_str());
    } else if (isFolder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      // A junction or a link to a folder elsewhere: the link goes, never what it
      // points at. (Wine, which keeps such a link as a symbolic link of the system
      // underneath, refuses to remove one to a folder that holds anything: then
      // the link and its folder stay.)
      RemoveDirectoryW(Wide(path).c_str());
    } else if (isFolder) {
      RemoveFolderTree(path);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

bool RemoveFolderTree(const std::string& folder) {
  DeleteFiles(folder, "*.", true);
  DeleteFiles(folder, "*.*", false);
  return RemoveDirectoryW(Wide(folder).c_str()) != 0;
}

void RunUninstall(int argumentCount) {
  const std::string copy = JoinPath(TempFolder(), "uninst.exe");
  if (argumentCount < 2) {
    if (CopyFileW(Wide(ProgramPath()).c_str(), Wide(copy).c_str(), FALSE)) {
      StartCommand("\"" + copy + "\" -u");
      return;
    }
  }
  if (MessageBoxA(nullptr, "Are you sure you want to remove this program from this computer?", "Uninstall Lirva",
                  MB_YESNO | MB_ICONERROR) != IDYES)
    return;
  const std::string folder = InstallFolder();
  CreateDirectoryW(Wide(DirectoryOf(DirectoryOf(folder))).c_str(), nullptr);
  CreateDirectoryW(Wide(DirectoryOf(folder)).c_str(), nullptr);
  CreateDirectoryW(Wide(folder).c_str(), nullptr);

  {
    RegistryKey versionKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_ALL_ACCESS,
                      versionKey.Out()) == ERROR_SUCCESS)
      RegDeleteKeyA(versionKey.get(), "Uninstall\\Lirva");
  }
  const std::string startMenu = StartMenuFolder();
  if (!startMenu.empty()) {
    const std::string entry = JoinPath(startMenu, "Lirva");
    for (const char* name : {"Lirva", "Lirva Help"}) DeleteFileW(Wide(JoinPath(entry, name, ".lnk")).c_str());
    RemoveDirectoryW(Wide(entry).c_str());
  }
  DeleteFileW(Wide(JoinPath(DesktopFolder(), "Lirva.lnk")).c_str());
  std::string programFiles;
  if (ProgramFilesFolder(&programFiles)) {
    const std::string maker = JoinPath(programFiles, "Vantoral");
    RemoveFolderTree(JoinPath(maker, "Lirva"));
    RemoveDirectoryW(Wide(maker).c_str());
  }
  const Library shlwapi(LoadLibraryA("shlwapi"));
  auto deleteTree = shlwapi ? reinterpret_cast<DeleteKeyFunction>(
                                  reinterpret_cast<void*>(GetProcAddress(shlwapi.get(), "SHDeleteKeyA")))
                            : nullptr;
  auto deleteEmpty = shlwapi ? reinterpret_cast<DeleteKeyFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(shlwapi.get(), "SHDeleteEmptyKeyA")))
                             : nullptr;
  // Through each root's "Software" key opened in the view the settings live in.
  RegistryKey software[2];
  const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (int i = 0; i < 2; ++i)
    RegOpenKeyExA(roots[i], "Software", 0, KEY_ALL_ACCESS | RegistryViewOf(roots[i]), software[i].Out());
  for (const RegistryKey& key : software)
    if (key.get() && deleteTree) deleteTree(key.get(), "Vantoral\\Lirva");
  for (const RegistryKey& key : software)
    if (key.get() && deleteEmpty) deleteEmpty(key.get(), "Vantoral");
}
