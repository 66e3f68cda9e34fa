// Press-and-hold buttons: the player's rewind and forward run while the button is
// down, so the parent needs to hear both the press and the release.
#include "ui/controls.h"

namespace {
// Set between a press and the release that answers it, so that a lost capture and
// the button-up that may follow report one release, not two.
constexpr char kPressedProperty[] = "HoldPressed";

WNDPROC PreviousProc(HWND control) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_USERDATA));
}

void Notify(HWND control, UINT code) {
  SendMessageA(GetParent(control), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

LRESULT CALLBACK HoldButtonProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = PreviousProc(control);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second press arrives as a double click
      SetCapture(control);
      SetPropA(control, kPressedProperty, reinterpret_cast<HANDLE>(1));
      Notify(control, kHoldPressed);
      break;
    case WM_LBUTTONUP: {
      // The flag goes first: the button's own procedure lets the capture go
      // while it handles the button-up, and that is no loss to report.
      if (RemovePropA(control, kPressedProperty)) Notify(control, kHoldReleased);
      // The button's procedure runs while the capture is still held, so that it
      // sends its ordinary click after the release.
      LRESULT result = CallWindowProcA(previous, control, message, wParam, lParam);
      if (GetCapture() == control) ReleaseCapture();
      return result;
    }
    case WM_CAPTURECHANGED:
      // A message box or a switch to another program took the mouse away while
      // the button was down: no button-up will come, so report the release now.
      if (reinterpret_cast<HWND>(lParam) != control && RemovePropA(control, kPressedProperty)) {
        Notify(control, kHoldReleased);
      }
      break;
    case WM_DESTROY:
      RemovePropA(control, kPressedProperty);
      break;
  }
  return CallWindowProcA(previous, control, message, wParam, lParam);
}
}  // namespace

void MakeHoldButton(HWND control) {
  if (!control || GetWindowLongPtrA(control, GWLP_WNDPROC) ==
                      reinterpret_cast<LONG_PTR>(HoldButtonProc)) {
    return;
  }
  SetWindowLongPtrA(control, GWLP_USERDATA, GetWindowLongPtrA(control, GWLP_WNDPROC));
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoldButtonProc));
}
