// Where an installation goes: the folders the system's registry values name, and
// whether the installer runs without a click.
#pragma once
#include <string>

std::string InstallFolder();      // Program Files\Vantoral\Lirva
std::string StartMenuFolder();    // empty when the system has none
std::string DesktopFolder();
std::string SharedDataFolder();   // Common AppData\Vantoral\Lirva
// The system's Program Files folder; false when the system names none.
bool ProgramFilesFolder(std::string* folder);

// "LQUIET" set to a non-empty value: only the installing page, no click.
bool QuietInstall();
