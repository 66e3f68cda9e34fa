#include "app/win32/window_placement.h"

#include "app/placement.h"
#include "common/win32/settings.h"

namespace {

ScreenRect ToScreenRect(const RECT& r) { return ScreenRect{r.left, r.top, r.right, r.bottom}; }

ScreenRect DesktopRect() {
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  return ToScreenRect(desktop);
}

}  // namespace

void StoreWindowPlacement(HWND window) {
  WindowShowState state = IsIconic(window)   ? WindowShowState::Minimized
                          : IsZoomed(window) ? WindowShowState::Maximized
                                             : WindowShowState::Normal;
  RECT rect;
  GetWindowRect(window, &rect);
  ClosingPlacement placement = PlacementOnClose(state, ToScreenRect(rect), DesktopRect());
  if (placement.storeMaximized)
    WriteMainWindowText(kMaximizedValue, placement.maximized ? "1" : "0");
  if (!placement.storeRect) return;
  WriteMainWindowNumber(kWindowXValue, placement.rect.left);
  WriteMainWindowNumber(kWindowYValue, placement.rect.top);
  WriteMainWindowNumber(kWindowWidthValue, placement.rect.Width());
  WriteMainWindowNumber(kWindowHeightValue, placement.rect.Height());
}

void RestoreWindowPlacement(HWND window) {
  int x = ReadMainWindowNumber(kWindowXValue, kDefaultWindowX);
  int y = ReadMainWindowNumber(kWindowYValue, kDefaultWindowY);
  int width = ReadMainWindowNumber(kWindowWidthValue, kDefaultWindowWidth);
  int height = ReadMainWindowNumber(kWindowHeightValue, kDefaultWindowHeight);
  ScreenRect stored{x, y, x + width, y + height};

  if (MaximizedFromText(ReadMainWindowText(kMaximizedValue).c_str())) {
    // The stored rectangle is where the window goes when the user restores it.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    placement.showCmd = SW_SHOWMAXIMIZED;
    placement.rcNormalPosition = RECT{stored.left, stored.top, stored.right, stored.bottom};
    SetWindowPlacement(window, &placement);
    return;
  }
  ScreenRect fitted = FitToDesktop(stored, DesktopRect());
  MoveWindow(window, fitted.left, fitted.top, fitted.Width(), fitted.Height(), TRUE);
}
