// The player's two small decibel controls: the level meter "LDBDisplay" (one
// segmented bar per channel from −36 to +12 dB) and the volume slider "LDBEdit"
// (a knob dragged over the same range, or moved with the keypad's + and −). Both
// keep their state in the window's extra bytes.
#pragma once
#include <windows.h>

#include "playback/engine_plan.h"

// Notification code of a slider whose value a drag changed (in WM_COMMAND).
constexpr UINT kSliderChanged = 0x300;

// Registers both window classes (once per process).
void RegisterLevelControls();

// Shows the levels: at most eight channels, each held within −36 … +12 dB;
// invalidates only the parts of the bars that change.
void SetMeterLevels(HWND meter, const ChannelLevels& levels);
// The channel count and the stored level of channel i (for tests).
int MeterChannelCount(HWND meter);
int MeterLevel(HWND meter, int channel);

// The slider's value in dB, and setting it (held within its range, no notification).
int SliderValue(HWND slider);
void SetSliderValue(HWND slider, int db);
