// The running program's own file.
#pragma once
#include <string>

// The module's own path, UTF-8 (a copy started by another name reads its own file).
std::string ProgramPath();

// The system's temporary folder (UTF-8).
std::string TempFolder();

// Starts a command line (UTF-8) as WinExec does: shown normally, back once the
// program waits for input (at most 30 s); false when it could not start.
bool StartCommand(const std::string& commandLine);
