// The main window's placement: stored when it closes, applied when it opens
// (fitted to the desktop window's rectangle unless it opens maximised).
#pragma once
#include <windows.h>

void StoreWindowPlacement(HWND window);
void RestoreWindowPlacement(HWND window);
