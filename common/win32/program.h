// The running program's own file.
#pragma once
#include <string>

// The module's own path (a copy started by another name reads its own file).
std::string ProgramPath();
