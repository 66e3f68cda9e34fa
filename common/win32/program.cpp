#include "common/win32/program.h"

#include <windows.h>

std::string ProgramPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
  return path;
}
