#include "app/placement.h"

ClosingPlacement PlacementOnClose(WindowShowState state, const ScreenRect& window,
                                  const ScreenRect& desktop) {
  ClosingPlacement result;
  if (state == WindowShowState::Minimized) return result;
  result.storeMaximized = true;
  if (state == WindowShowState::Maximized) {
    result.maximized = true;
    return result;
  }
  result.storeRect = true;
  result.rect = window;
  if (result.rect.right > desktop.right) result.rect.right = desktop.right;
  return result;
}

ScreenRect FitToDesktop(const ScreenRect& stored, const ScreenRect& desktop) {
  int width = stored.Width();
  int height = stored.Height();
  if (width > desktop.Width()) width = desktop.Width();
  if (height > desktop.Height()) height = desktop.Height();
  int left = stored.left;
  int top = stored.top;
  if (left < desktop.left) left = desktop.left;
  if (top < desktop.top) top = desktop.top;
  if (left + width > desktop.right) left = desktop.right - width;
  if (top + height > desktop.bottom) top = desktop.bottom - height;
  return ScreenRect{left, top, left + width, top + height};
}

bool MaximizedFromText(const char* text) { return text && text[0] != '\0' && text[0] != '0'; }
