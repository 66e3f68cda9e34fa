// The hover-tracked, owner-drawn gradient button (the main window's "Lirva
// File(s)" button): a face shaded from light to dark, a frame, an orange inner
// outline while the mouse is over it, its icon and its text.
#include "ui/controls.h"
#include "ui/gradient_fill.h"

namespace {
constexpr char kOldProcProperty[] = "OldWndProc";
// One control at a time is hot in the whole program.
HWND hotControl = nullptr;

constexpr double kFaceLight = 1.05;
constexpr double kFaceDark = 0.87;
constexpr COLORREF kPressedFrame = RGB(209, 209, 209);
constexpr COLORREF kFrame = RGB(129, 129, 135);
constexpr COLORREF kHotOutline = RGB(245, 184, 0);
// Before Windows XP a button with this style bit is drawn flat.
constexpr LONG kFlatStyleBit = 0x80;

LRESULT CALLBACK HoverProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropA(control, kOldProcProperty));
  switch (message) {
    case WM_MOUSEMOVE:
      if (control != hotControl) {
        if (hotControl) InvalidateRect(hotControl, nullptr, FALSE);
        hotControl = control;
        InvalidateRect(control, nullptr, FALSE);
      }
      // Every move, since the class cursor comes back with each WM_SETCURSOR.
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      break;
    case WM_DESTROY:
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
      RemovePropA(control, kOldProcProperty);
      if (hotControl == control) hotControl = nullptr;
      break;
  }
  return CallWindowProcA(previous, control, message, wParam, lParam);
}

bool BeforeWindowsXp() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return false;
  return version.dwMajorVersion < 5 ||
         (version.dwMajorVersion == 5 && version.dwMinorVersion < 1);
}

// A one-pixel rectangle outline from (left, top) to (right, bottom), both included.
void Outline(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  Pen pen(CreatePen(PS_SOLID, 1, colour));
  Selected selected(dc, pen.get());
  POINT corners[5] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
  Polyline(dc, corners, 5);
}

// The button's caption in `font`, centred vertically, starting at `left`, or
// centred in the button as well when `left` is negative.
void DrawCaption(const DRAWITEMSTRUCT& item, HFONT font, int left) {
  char text[260];
  int length = GetWindowTextA(item.hwndItem, text, sizeof(text));
  HGDIOBJ oldFont = SelectObject(item.hDC, font);
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(item.hDC, text, length, &extent);
  const RECT& r = item.rcItem;
  if (left < 0) left = r.left + (r.right - r.left - extent.cx) / 2;
  ExtTextOutA(item.hDC, left, (r.bottom - r.top - extent.cy) / 2, 0, nullptr, text, length,
              nullptr);
  SelectObject(item.hDC, oldFont);
}

// The icon at the left, the caption behind it, both centred vertically. Without
// an icon (or one that can't be read) the caption alone, centred.
void DrawIconAndText(const DRAWITEMSTRUCT& item, HICON icon, HFONT font, bool disabled) {
  ICONINFO info;
  if (!icon || !GetIconInfo(icon, &info)) return DrawCaption(item, font, -1);
  Bitmap mask(info.hbmMask), colour(info.hbmColor);  // copies made for the caller
  const int h = static_cast<int>(info.xHotspot);
  const int v = static_cast<int>(info.yHotspot);
  const RECT& r = item.rcItem;
  DrawStateA(item.hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0,
             r.left + 2 + h / 4, (r.bottom - r.top - 2 * v) / 2, 0, 0,
             DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
  DrawCaption(item, font, r.left + 3 + 2 * h + h / 2);
}
}  // namespace

void TrackHover(HWND control) {
  if (!control || GetPropA(control, kOldProcProperty)) return;
  SetPropA(control, kOldProcProperty,
           reinterpret_cast<HANDLE>(GetWindowLongPtrA(control, GWLP_WNDPROC)));
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoverProc));
}

HWND HotControl() { return hotControl; }

void ClearHotControl() {
  if (hotControl) InvalidateRect(hotControl, nullptr, FALSE);
  hotControl = nullptr;
}

void DrawGradientButton(const DRAWITEMSTRUCT& item, HFONT font) {
  HDC dc = item.hDC;
  const RECT& r = item.rcItem;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const bool pressed = (item.itemState & ODS_SELECTED) ||
                       GetWindowLongPtrA(item.hwndItem, GWLP_USERDATA) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;

  COLORREF frame;
  RECT edge = r;
  if (pressed) {
    Brush light(CreateSolidBrush(ScaleColour(face, kFaceLight)));
    FillRect(dc, &r, light.get());
    frame = kPressedFrame;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
  } else {
    if (BeforeWindowsXp() && (GetWindowLongA(item.hwndItem, GWL_STYLE) & kFlatStyleBit)) {
      Brush flat(CreateSolidBrush(face));
      FillRect(dc, &r, flat.get());
    } else {
      FillVerticalGradient(dc, r.left, r.right, r.bottom, ScaleColour(face, kFaceLight),
                           ScaleColour(face, kFaceDark));
    }
    frame = kFrame;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
  }
  Outline(dc, r.left, r.top, r.right - 1, r.bottom - 1, frame);
  if (item.hwndItem == hotControl) {
    Outline(dc, r.left + 1, r.top + 1, r.right - 2, r.bottom - 2, kHotOutline);
  }

  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  HICON icon = reinterpret_cast<HICON>(SendMessageA(item.hwndItem, BM_GETIMAGE, IMAGE_ICON, 0));
  DrawIconAndText(item, icon, font, disabled);

  if (item.itemState & ODS_FOCUS) {
    RECT focus = r;
    InflateRect(&focus, -2, -2);
    DrawFocusRect(dc, &focus);
  }
}
