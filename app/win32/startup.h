// Start-up: the role of this copy of the program, the Windows version gate, a
// single running editor, and the main loop.
#pragma once
#include <windows.h>

constexpr const char kRunMutexName[] = "LirvaRunMutex";
constexpr const char kMainWindowCaption[] = "Lirva";

// The running editor's main window: an unowned top-level window of the standard
// dialog class with the caption "Lirva" (message boxes share the caption).
HWND FindRunningEditor();
// Asks running editors to close, up to six times a second apart.
void CloseRunningEditors();
// Whether the system is one this program runs on (Vista or earlier).
bool SupportedWindowsVersion();
// The program's entry; always returns 0.
int RunProgram(HINSTANCE instance);
