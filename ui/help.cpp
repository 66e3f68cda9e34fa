#include "ui/help.h"

#include <windows.h>

#include <string>

#include "common/path.h"

void OpenHelpTopic(const char* topic) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH - 1);
  std::string page = JoinPath(JoinPath(DirectoryOf(program), "Help"), topic, ".html");
  ShellExecuteA(nullptr, nullptr, page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
