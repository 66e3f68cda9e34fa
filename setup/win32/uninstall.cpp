// The uninstall: the copy in the install folder hands over to a copy of itself in
// the temporary folder, which asks and removes what setup placed.
#include "setup/win32/uninstall.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "common/path.h"
#include "common/win32/program.h"
#include "common/win32/registry_key.h"
#include "common/win32/settings.h"
#include "setup/win32/folders.h"

namespace {

using DeleteKeyFunction = LONG(WINAPI*)(HKEY, LPCSTR);

// folder\name, or false when it would not fit in a path (then nothing is done
// with it: a cut path would name something else).
bool Joined(const std::string& folder, const char* name, std::string* path) {
  *path = JoinPath(folder, name);
  return path->size() > folder.size() && path->size() == folder.size() + 1 + std::strlen(name);
}

void DeleteFiles(const std::string& folder, const char* pattern, bool folders) {
  std::string query;
  if (!Joined(folder, pattern, &query)) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(query.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string path;
    if (found.cFileName[0] == '.' || !Joined(folder, found.cFileName, &path)) continue;
    const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!folders) {
      DeleteFileA(path.c_str());
    } else if (isFolder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      // A junction or a link to a folder elsewhere: the link goes, never what it
      // points at. (Wine, which keeps such a link as a symbolic link of the system
      // underneath, refuses to remove one to a folder that holds anything: then
      // the link and its folder stay.)
      RemoveDirectoryA(path.c_str());
    } else if (isFolder) {
      RemoveFolderTree(path);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

bool RemoveFolderTree(const std::string& folder) {
  DeleteFiles(folder, "*.", true);
  DeleteFiles(folder, "*.*", false);
  return RemoveDirectoryA(folder.c_str()) != 0;
}

void RunUninstall(int argumentCount) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string copy = JoinPath(temp, "uninst.exe");
  if (argumentCount < 2) {
    if (CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE)) {
      WinExec(("\"" + copy + "\" -u").c_str(), SW_SHOWNORMAL);
      return;
    }
  }
  if (MessageBoxA(nullptr, "Are you sure you want to remove this program from this computer?", "Uninstall Lirva",
                  MB_YESNO | MB_ICONERROR) != IDYES)
    return;
  const std::string folder = InstallFolder();
  CreateDirectoryA(DirectoryOf(DirectoryOf(folder)).c_str(), nullptr);
  CreateDirectoryA(DirectoryOf(folder).c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);

  {
    RegistryKey versionKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_ALL_ACCESS,
                      versionKey.Out()) == ERROR_SUCCESS)
      RegDeleteKeyA(versionKey.get(), "Uninstall\\Lirva");
  }
  const std::string startMenu = StartMenuFolder();
  if (!startMenu.empty()) {
    const std::string entry = JoinPath(startMenu, "Lirva");
    for (const char* name : {"Lirva", "Lirva Help"}) DeleteFileA(JoinPath(entry, name, ".lnk").c_str());
    RemoveDirectoryA(entry.c_str());
  }
  DeleteFileA(JoinPath(DesktopFolder(), "Lirva.lnk").c_str());
  std::string programFiles;
  if (ProgramFilesFolder(&programFiles)) {
    const std::string maker = JoinPath(programFiles, "Vantoral");
    RemoveFolderTree(JoinPath(maker, "Lirva"));
    RemoveDirectoryA(maker.c_str());
  }
  HMODULE shlwapi = LoadLibraryA("shlwapi");
  auto deleteTree = reinterpret_cast<DeleteKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(shlwapi, "SHDeleteKeyA")));
  auto deleteEmpty = reinterpret_cast<DeleteKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(shlwapi, "SHDeleteEmptyKeyA")));
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
