#include "ui/help.h"

#include <windows.h>

#include <string>

#include "common/path.h"
#include "common/win32/program.h"

void OpenHelpTopic(const char* topic) {
  std::string page = JoinPath(JoinPath(DirectoryOf(ProgramPath()), "Help"), topic, ".html");
  ShellExecuteA(nullptr, nullptr, page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
