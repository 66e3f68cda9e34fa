// Hyperlink texts: a static control with an underlined font that opens a web
// address when clicked.
#include <windows.h>
#include <shellapi.h>

#include "ui/controls.h"

namespace {
constexpr char kFontProperty[] = "HLFont";
// Optional: a global memory block with the address, when it differs from the text.
constexpr char kLinkProperty[] = "HLLink";

void OpenLink(HWND control) {
  char link[260] = "";
  HGLOBAL memory = static_cast<HGLOBAL>(GetPropA(control, kLinkProperty));
  if (memory) {
    if (const char* text = static_cast<const char*>(GlobalLock(memory))) {
      lstrcpynA(link, text, sizeof(link));
      GlobalUnlock(memory);
    }
  } else {
    GetWindowTextA(control, link, sizeof(link));
  }
  ShellExecuteA(nullptr, nullptr, link, nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK HyperlinkProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_USERDATA));
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      return TRUE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      OpenLink(control);
      break;
    case WM_DESTROY:
      if (HANDLE font = RemovePropA(control, kFontProperty)) DeleteObject(font);
      if (HANDLE link = RemovePropA(control, kLinkProperty)) GlobalFree(link);
      break;
  }
  return CallWindowProcA(previous, control, message, wParam, lParam);
}

void Underline(HWND control) {
  if (GetPropA(control, kFontProperty)) return;
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTA description;
  if (!GetObjectA(font, sizeof(description), &description)) return;
  description.lfUnderline = TRUE;
  HFONT underlined = CreateFontIndirectA(&description);
  if (!underlined) return;
  SetPropA(control, kFontProperty, underlined);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(underlined), TRUE);
}
}  // namespace

void MakeHyperlink(HWND dialog, int controlId) {
  HWND control = GetDlgItem(dialog, controlId);
  if (!control) return;
  Underline(control);
  if (GetWindowLongPtrA(control, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(HyperlinkProc)) {
    return;
  }
  SetWindowLongPtrA(control, GWLP_USERDATA, GetWindowLongPtrA(control, GWLP_WNDPROC));
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkProc));
}
