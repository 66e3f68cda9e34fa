// The version check against the maker's version server (from the Help menu, and
// by itself every 90 days at start-up), and the start-up schedule that runs it.
#pragma once
#include <windows.h>

#include <ctime>
#include <string>

// "http://<version host>/versions/Lirva.txt" in lower case; the host from the
// machine setting "VersionHost" when there is one.
std::string VersionUrl();

// Asks the server; a manual check says when the version is current, an automatic
// one compares with the version last read about and says nothing then.
void CheckVersion(HWND main, bool automatic);

// Run once after the main window exists: remembers the first start, offers the
// related programs once more than 45 days after it, and checks the version by
// itself when the last automatic check is more than 90 days old.
void RunStartupSchedule(HWND main, time_t now);
