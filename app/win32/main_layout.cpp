// The main window's layout on every size change.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/win32/main_dialog.h"
#include "resource.h"

namespace {
// The smallest client area the layout is made for.
constexpr int kMinClientWidth = 560;
constexpr int kMinClientHeight = 400;
}  // namespace

int MainDialog::WidestLabel(const int* ids, int count) const {
  WindowDc windowDc(hwnd());
  const HDC dc = windowDc.get();
  Selected font(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0)));
  int widest = 0;
  for (int i = 0; i < count; ++i) {
    std::string text = ControlText(Item(ids[i]));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
    widest = std::max<int>(widest, size.cx);
  }
  return widest;
}

void MainDialog::Layout() {
  if (!hwnd()) return;
  RECT client;
  GetClientRect(hwnd(), &client);
  if (client.right < kMinClientWidth || client.bottom < kMinClientHeight) {
    // Enlarge the window so that its client area is at least the minimum.
    RECT window;
    GetWindowRect(hwnd(), &window);
    int dx = client.right < kMinClientWidth ? kMinClientWidth - client.right : 0;
    int dy = client.bottom < kMinClientHeight ? kMinClientHeight - client.bottom : 0;
    SetWindowPos(hwnd(), nullptr, 0, 0, window.right - window.left + dx,
                 window.bottom - window.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;  // the resulting WM_SIZE lays out again
  }
  const int W = client.right, H = client.bottom;
  HWND status = Item(IDC_STATUSBAR);
  SendMessageA(status, WM_SIZE, 0, 0);
  RECT r;
  GetWindowRect(status, &r);
  const int S = r.bottom - r.top;
  int T = 0;
  if (toolbar_.window) {
    SendMessageA(toolbar_.window, TB_AUTOSIZE, 0, 0);
    GetWindowRect(toolbar_.window, &r);
    T = r.bottom - r.top;
    PaintToolbarBackground(toolbar_);
  }
  RECT units = {0, 0, 0, 10};
  MapDialogRect(hwnd(), &units);
  const int R = units.bottom;
  const int H2 = H - S;
  const int Y0 = T + H2 - 232;

  auto place = [&](int id, int x, int y, int w, int h) {
    MoveWindow(Item(id), x, y, w, h, FALSE);
  };
  place(IDC_FILELIST, 4, T + 22, W - 7, H2 - 260);
  place(IDC_TAGFRAME, 4, Y0, W - 5, 180);
  const int leftLabels[] = {IDC_LABEL_TITLE, IDC_LABEL_ARTIST, IDC_LABEL_ALBUM, IDC_LABEL_COMMENT};
  const int leftEdits[] = {IDC_TITLE, IDC_ARTIST, IDC_ALBUM, IDC_COMMENT};
  // The edits start at 62 unless the dialog font makes a label wider than the room
  // before them; then they move right just enough that no label is cut.
  const int labelWidth = std::max(45, WidestLabel(leftLabels, 4));
  const int editLeft = std::max(62, 10 + labelWidth + 4);
  for (int i = 0; i < 4; ++i) {
    const int row = Y0 + 40 + 30 * i;
    place(leftLabels[i], 10, row, labelWidth, R);
    place(leftEdits[i], editLeft, row - 4, W - 297 - (editLeft - 62), R + 4);
  }
  const int rightLabels[] = {IDC_LABEL_YEAR, IDC_LABEL_TRACK, IDC_LABEL_GENRE};
  const int rightFields[] = {IDC_YEAR, IDC_TRACK, IDC_GENRE};
  for (int i = 0; i < 3; ++i) {
    const int row = Y0 + 40 + 30 * i;
    place(rightLabels[i], W - 207, row, 45, R);
    place(rightFields[i], W - 165, row - 4, 137, rightFields[i] == IDC_GENRE ? 20 * R : R + 4);
  }
  place(IDC_TAGBUTTON, W - 207, Y0 + 126, 179, 2 * R + 4);
  FitFirstColumn(hwnd(), IDC_FILELIST);
  // Everything is drawn anew, as in a window that has just opened: the controls that
  // moved included (moving them drew nothing, and their old places must not linger).
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}
