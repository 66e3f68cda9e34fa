// The main window's toolbar: five buttons from a table, each with its own bitmap,
// label and tooltip, over a gradient background that the owner copies onto the
// bar when it paints.
#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"
#include "ui/gradient_fill.h"

namespace {
constexpr int kImageWidth = 22;
constexpr int kImageHeight = 24;
// The standard large colour bitmaps hold this many images, ahead of ours.
constexpr int kStandardImageCount = STD_PRINT + 1;
constexpr double kBarLight = 1.1;
constexpr double kBarDark = 0.87;

int AddImage(HWND bar, short image) {
  if (image >= 0) return image;
  TBADDBITMAP bitmap = {reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(GetParent(bar),
                                                                       GWLP_HINSTANCE)),
                        static_cast<UINT_PTR>(-image)};
  return static_cast<int>(SendMessageA(bar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&bitmap)));
}

void AddTooltip(HWND bar, const ToolbarRow& row) {
  HWND tips = reinterpret_cast<HWND>(SendMessageA(bar, TB_GETTOOLTIPS, 0, 0));
  if (!tips) return;
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = bar;
  tool.uId = row.command;
  tool.lpszText = const_cast<char*>(row.tooltip);
  SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}
}  // namespace

bool CreateToolbar(Toolbar& toolbar, HWND parent, const ToolbarRow (&rows)[kToolbarRowCount]) {
  HWND bar = CreateToolbarEx(parent,
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                 CCS_NODIVIDER,
                             kToolbarId, kStandardImageCount, HINST_COMMCTRL,
                             IDB_STD_LARGE_COLOR, nullptr, 0, kImageWidth, kImageHeight,
                             kImageWidth, kImageHeight, sizeof(TBBUTTON));
  if (!bar) return false;
  toolbar.window = bar;

  TBMETRICS metrics = {};
  metrics.cbSize = sizeof(metrics);
  metrics.dwMask = TBMF_PAD;
  metrics.cxPad = 0;
  metrics.cyPad = 2;
  SendMessageA(bar, TB_SETMETRICS, 0, reinterpret_cast<LPARAM>(&metrics));
  SendMessageA(bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);

  for (const ToolbarRow& row : rows) {
    TBBUTTON button = {};
    button.iBitmap = AddImage(bar, row.image);
    if (row.tooltip) AddTooltip(bar, row);
    button.idCommand = row.command;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = row.style;
    button.iString = reinterpret_cast<INT_PTR>(row.label);
    SendMessageA(bar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
  }

  toolbar.memoryDc = MemoryDc(WindowDc(bar).get());
  return true;
}

void PaintToolbarBackground(Toolbar& toolbar) {
  if (!toolbar.window || !toolbar.memoryDc) return;
  RECT client;
  GetClientRect(toolbar.window, &client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return;

  Bitmap bitmap(CreateCompatibleBitmap(WindowDc(toolbar.window).get(), width, height));
  if (!bitmap) return;
  // The new bitmap is selected before the old one is deleted: a bitmap that is
  // still selected into a context cannot be deleted.
  SelectObject(toolbar.memoryDc.get(), bitmap.get());
  toolbar.background = std::move(bitmap);

  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  FillVerticalGradient(toolbar.memoryDc.get(), 0, width, height, ScaleColour(face, kBarLight),
                       ScaleColour(face, kBarDark));
}
