// Painting a window of a class with its own device context (CS_OWNDC) on WM_PAINT
// without BeginPaint. Under Wine, BeginPaint and EndPaint hide and show the caret
// (a round trip to the server each, whether or not there is a caret) and fetch the
// window's visible region again, and the player's controls repaint ten times a
// second. This takes the update region, marks it valid and clips the window's own
// device context to it, as BeginPaint would. The window must erase nothing (its
// class has no background brush) and hold no caret.
//
// Given a region, it paints that part of the window at once instead, outside
// WM_PAINT: a control whose state changes ten times a second saves the
// invalidation, the WM_PAINT and its update-region round trips. An update region
// pending from elsewhere stays for WM_PAINT.
#pragma once
#include <windows.h>

#include "common/win32/handles.h"

class OwnDcPaint {
 public:
  explicit OwnDcPaint(HWND window);
  OwnDcPaint(HWND window, Region region);
  ~OwnDcPaint();
  OwnDcPaint(const OwnDcPaint&) = delete;
  OwnDcPaint& operator=(const OwnDcPaint&) = delete;

  HDC dc() const { return dc_; }
  // The bounding box of what is painted (BeginPaint's rcPaint).
  const RECT& box() const { return box_; }

 private:
  HWND window_;
  Region region_;
  RECT box_ = {};
  HDC dc_ = nullptr;

  void Begin();
};
