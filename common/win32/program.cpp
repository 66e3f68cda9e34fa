#include "common/win32/program.h"

#include <windows.h>

#include "common/win32/wide.h"

std::string ProgramPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH - 1);
  return Utf8(path);
}

std::string TempFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetTempPathW(MAX_PATH, path);
  return n > 0 && n < MAX_PATH ? Utf8(path, int(n)) : std::string();
}

bool StartCommand(const std::string& commandLine) {
  std::wstring line = Wide(commandLine);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  // As WinExec: back when the program waits for input, or after 30 s.
  WaitForInputIdle(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
