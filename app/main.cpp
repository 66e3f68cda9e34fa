// lirva.exe: the editor, and (by the marker at the end of its file) its own
// installer and uninstaller.
#include <windows.h>

#include "app/win32/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunProgram(instance); }
