// The vertical gradients of the owner-drawn buttons and the toolbar background.
#pragma once
#include <windows.h>

#include "common/win32/handles.h"

// Each channel times `factor`, truncated and capped at 255.
COLORREF ScaleColour(COLORREF colour, double factor);

// Fills rows 0 to height - 1 of `dc`, from `left` to `right`, one row per pixel:
// the first row has the top colour and every further row adds (bottom - top) /
// height to each channel, kept in double precision and truncated per row.
void FillVerticalGradient(HDC dc, int left, int right, int height, COLORREF top,
                          COLORREF bottom);
