#include "ui/help.h"

#include <windows.h>

#include <string>

#include "common/path.h"
#include "common/win32/program.h"
#include "common/win32/wide.h"

void OpenHelpTopic(const char* topic) {
  std::string page = JoinPath(JoinPath(DirectoryOf(ProgramPath()), "Help"), topic, ".html");
  ShellExecuteW(nullptr, nullptr, Wide(page).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
