// Where the main window opens and what it remembers when it closes. The rules are
// plain arithmetic on rectangles, kept apart from the window calls so that they can
// be checked without a screen.
#pragma once

// A rectangle in screen pixels, edges as Windows gives them (right and bottom
// exclusive).
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const ScreenRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
};

enum class WindowShowState { Normal, Maximized, Minimized };

// What the closing window leaves in the "MainWindow" area.
struct ClosingPlacement {
  bool storeMaximized = false;  // write "Maximized"
  bool maximized = false;       // ... as "1" (true) or "0"
  bool storeRect = false;       // write "X", "Y", "Width" and "Height" from `rect`
  ScreenRect rect;
};

// A maximised window remembers only that; a minimised one nothing, since its
// rectangle is meaningless; a normal one its rectangle, its right edge cut to the
// desktop's so that a window hanging off the right side comes back narrower.
ClosingPlacement PlacementOnClose(WindowShowState state, const ScreenRect& window,
                                  const ScreenRect& desktop);

// The stored rectangle made to fit the desktop: no larger than it, and moved in
// where it starts before the desktop's left or top edge or ends past its right or
// bottom edge.
ScreenRect FitToDesktop(const ScreenRect& stored, const ScreenRect& desktop);

// The stored "Maximized" text: any non-empty text not starting with "0" is true.
bool MaximizedFromText(const char* text);
