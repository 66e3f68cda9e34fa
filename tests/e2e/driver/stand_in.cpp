// A stand-in for the maker's other programs and their installers, for the tests
// of the launch commands and the install on demand. It reads what to do from the
// registry key HKCU\Software\LirvaTest\StandIn:
//   "Log"      a file to which it appends its command line and "LQUIET=<value>"
//   "Install"  "<product>|<value name>|<template>": when its own file name holds
//              "setup", it writes the template as that value of
//              HKCU\Software\Vantoral\<product>\Settings, as an installer would
//   "WaitMs"   how long to keep running
// With the arguments "--hold FILE MS" it only keeps FILE open without sharing for
// MS milliseconds, saying "held" once it has it (a file in use by another program).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Setting(const char* name) {
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\LirvaTest\\StandIn", 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--hold") == 0) {
    HANDLE held = CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(DWORD(std::atoi(argv[3])));
    CloseHandle(held);
    return 0;
  }
  char quiet[64] = {};
  const bool hasQuiet = GetEnvironmentVariableA("LQUIET", quiet, sizeof quiet) != 0;
  char own[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own, MAX_PATH - 1);
  const std::string log = Setting("Log");
  if (!log.empty()) {
    if (FILE* f = std::fopen(log.c_str(), "ab")) {
      std::fprintf(f, "%s\tLQUIET=%s\n", GetCommandLineA(), hasQuiet ? quiet : "<unset>");
      std::fclose(f);
    }
  }
  std::string name = own;
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  const std::string install = Setting("Install");
  const size_t bar1 = install.find('|'), bar2 = install.find('|', bar1 + 1);
  if (name.find("setup") != std::string::npos && bar2 != std::string::npos) {
    const std::string key = "Software\\Vantoral\\" + install.substr(0, bar1) + "\\Settings";
    const std::string value = install.substr(bar1 + 1, bar2 - bar1 - 1);
    const std::string text = install.substr(bar2 + 1);
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExA(handle, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     DWORD(text.size() + 1));
      RegCloseKey(handle);
    }
  }
  const int waitMs = std::atoi(Setting("WaitMs").c_str());
  if (waitMs > 0) Sleep(DWORD(waitMs));
  return 0;
}
