// The tables from which the main window and the player build their toolbar,
// tooltips, list columns and bitmap buttons.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "resources/resource.h"
#include "ui/controls.h"

// Main window toolbar: the button shows the label, its tooltip the longer text.
constexpr ToolbarRow kMainToolbar[kToolbarRowCount] = {
    {IDM_ADDFILES, -IDB_TB_ADDFILES, "Add File(s)", "Add Files to the list (Ctrl+N)", 0},
    {IDM_REMOVEFILES, -IDB_TB_REMOVEFILES, "Remove File(s)",
     "Remove files from the list (Ctrl+Delete)", 0},
    {IDM_PLAYFILE, -IDB_TB_PLAY, "Play File(s)", "Plays the audio File (F9)", 0},
    {IDM_TAGFILES, -IDB_TB_TAG, "Lirva File(s)",
     "Lirva the file(s) with the specified tags (Ctrl+G)", 0},
    {IDM_HELPCONTENTS, -IDB_TB_HELP, "Help", "Open the Help Documentation (F1)", 0},
};

constexpr TooltipRow kMainTooltips[] = {
    {IDM_ADDFILES, "Add Files to the list"},
    {IDM_REMOVEFILES, "Remove Files from the list"},
};
constexpr int kMainTooltipCount = sizeof(kMainTooltips) / sizeof(kMainTooltips[0]);

constexpr ListColumn kMainListColumns[] = {
    {"File", 160, LVCFMT_LEFT},
    {"Folder", 300, LVCFMT_LEFT},
    {nullptr, 0, 0},
};

constexpr TooltipRow kPlayerTooltips[] = {
    {IDC_PLAYER_NAME, "Name"},
    {IDC_PLAYER_DEVICE, "Playback Device"},
    {IDC_PLAYER_VOLUME, "Volume"},
    {IDC_PLAYER_PLAY, "Play (F9)"},
    {IDC_PLAYER_SCRUB, "Scrub (Space)"},
    {IDC_PLAYER_STOP, "Stop (Esc)"},
    {IDC_PLAYER_START, "Go to Start (Home)"},
    {IDC_PLAYER_REWIND, "Rewind (<-)"},
    {IDC_PLAYER_FORWARD, "Forward (->)"},
    {IDC_PLAYER_END, "Go to End (End)"},
};
constexpr int kPlayerTooltipCount = sizeof(kPlayerTooltips) / sizeof(kPlayerTooltips[0]);

struct BitmapButtonRow {
  int controlId;
  const char* bitmap;
};
constexpr BitmapButtonRow kPlayerBitmapButtons[] = {
    {IDC_PLAYER_PLAY, BMP_PLAY},       {IDC_PLAYER_SCRUB, BMP_SCRUB},
    {IDC_PLAYER_STOP, BMP_STOP},       {IDC_PLAYER_START, BMP_START},
    {IDC_PLAYER_REWIND, BMP_REWIND},   {IDC_PLAYER_FORWARD, BMP_FORWARD},
    {IDC_PLAYER_END, BMP_END},
};
constexpr int kPlayerBitmapButtonCount =
    sizeof(kPlayerBitmapButtons) / sizeof(kPlayerBitmapButtons[0]);

constexpr int kPlayerHoldButtons[] = {IDC_PLAYER_REWIND, IDC_PLAYER_FORWARD};
