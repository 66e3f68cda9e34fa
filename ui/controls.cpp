// Tooltips from tables, combo-box filling and the file list's columns.
#include <windows.h>
#include <commctrl.h>

#include "ui/controls.h"

namespace {
constexpr int kMinimumFirstColumn = 160;

// The record size that every common-controls version accepts.
TOOLINFOA ToolFor(HWND dialog, int controlId, const char* text) {
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, controlId));
  tool.lpszText = const_cast<char*>(text);
  return tool;
}
}  // namespace

void AddTooltips(HWND dialog, HWND& tooltip, const TooltipRow* rows, int rowCount) {
  if (!tooltip) {
    tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                              reinterpret_cast<HINSTANCE>(
                                  GetWindowLongPtrA(dialog, GWLP_HINSTANCE)),
                              nullptr);
    if (!tooltip) return;
    SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (int i = 0; i < rowCount; ++i) {
    TOOLINFOA tool = ToolFor(dialog, rows[i].controlId, rows[i].text);
    SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void SetTooltipText(HWND dialog, HWND tooltip, int controlId, const char* text) {
  if (!tooltip) return;
  TOOLINFOA tool = ToolFor(dialog, controlId, text);
  SendMessageA(tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void FillCombo(HWND dialog, int controlId, const char* const* texts) {
  for (; *texts; ++texts) {
    SendDlgItemMessageA(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*texts));
  }
}

void FillCombo(HWND dialog, int controlId, const char* const* texts, int count) {
  for (int i = 0; i < count; ++i) {
    SendDlgItemMessageA(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
  }
}

void AddListColumns(HWND dialog, int listId, const ListColumn* columns) {
  HWND list = GetDlgItem(dialog, listId);
  RECT client;
  GetClientRect(list, &client);
  int remaining = client.right;
  for (int i = 0; columns[i].title; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = columns[i].format;
    column.cx = columns[i].width < 0 ? remaining : columns[i].width;
    column.pszText = const_cast<char*>(columns[i].title);
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    remaining -= column.cx;
  }
}

void FitFirstColumn(HWND dialog, int listId) {
  HWND list = GetDlgItem(dialog, listId);
  RECT client;
  GetClientRect(list, &client);
  int width = client.right - static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
  if (width < kMinimumFirstColumn) width = kMinimumFirstColumn;
  SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, width);
}
