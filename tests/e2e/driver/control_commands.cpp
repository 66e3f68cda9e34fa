// Commands for the common controls of another process: list views, combo boxes and
// status bars. List-view and status-bar messages carry pointers that the system does
// not copy between processes, so their structures and texts live in a RemoteBuffer.
#include <windows.h>
#include <commctrl.h>

#include "commands.h"
#include "remote_memory.h"
#include "window_query.h"

namespace driver {
namespace {

constexpr size_t kRemoteSize = 8192;
constexpr size_t kTextOffset = 1024;  // structures before, texts from here on
constexpr size_t kTextCapacity = kRemoteSize - kTextOffset;

DWORD TimeoutOf(Args& args) {
  return static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
}

long Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeout, Reply& reply) {
  LRESULT result = 0;
  if (!SendWithin(window, message, wParam, lParam, timeout, &result)) {
    reply.Fail("control did not answer in time");
    return -1;
  }
  return static_cast<long>(result);
}

// A row's text through the wide-character message, as UTF-8.
bool WideItemText(HWND list, RemoteBuffer& remote, int row, int column, DWORD timeout, std::string* text,
                  Reply& reply) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = static_cast<WCHAR*>(remote.At(kTextOffset));
  item.cchTextMax = static_cast<int>(kTextCapacity / sizeof(WCHAR));
  const WCHAR empty = L'\0';
  if (!remote.Write(0, &item, sizeof item) || !remote.Write(kTextOffset, &empty, sizeof empty)) {
    reply.Fail("cannot write into the list's process");
    return false;
  }
  if (Ask(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.At(0)), timeout, reply) < 0) return false;
  if (!remote.Read(0, &item, sizeof item)) {
    reply.Fail("cannot read from the list's process");
    return false;
  }
  *text = item.pszText ? remote.ReadWideText(item.pszText, kTextCapacity / sizeof(WCHAR)) : std::string();
  return true;
}

bool ItemText(HWND list, RemoteBuffer& remote, int row, int column, DWORD timeout,
              std::string* text, Reply& reply) {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = static_cast<char*>(remote.At(kTextOffset));
  item.cchTextMax = static_cast<int>(kTextCapacity);
  char empty = '\0';
  if (!remote.Write(0, &item, sizeof item) || !remote.Write(kTextOffset, &empty, 1)) {
    reply.Fail("cannot write into the list's process");
    return false;
  }
  if (Ask(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.At(0)), timeout, reply) < 0)
    return false;
  // The control may answer with a pointer to its own copy of the text.
  if (!remote.Read(0, &item, sizeof item)) {
    reply.Fail("cannot read from the list's process");
    return false;
  }
  *text = item.pszText ? remote.ReadText(item.pszText, kTextCapacity) : std::string();
  return true;
}

int ColumnCount(HWND list, DWORD timeout, Reply& reply) {
  LRESULT header = 0;
  if (!SendWithin(list, LVM_GETHEADER, 0, 0, timeout, &header) || !header) return 1;
  long columns = Ask(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, timeout, reply);
  return columns > 0 ? static_cast<int>(columns) : 1;
}

std::vector<int> SelectedRows(HWND list, DWORD timeout, Reply& reply) {
  std::vector<int> rows;
  long row = -1;
  while (true) {
    row = Ask(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), MAKELPARAM(LVNI_SELECTED, 0),
              timeout, reply);
    if (row < 0 || reply.Failed()) break;
    rows.push_back(static_cast<int>(row));
  }
  return rows;
}

bool SetState(HWND list, RemoteBuffer& remote, int row, UINT mask, UINT state, DWORD timeout,
              Reply& reply) {
  LVITEMA item = {};
  item.stateMask = mask;
  item.state = state;
  if (!remote.Write(0, &item, sizeof item)) {
    reply.Fail("cannot write into the list's process");
    return false;
  }
  return Ask(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
             reinterpret_cast<LPARAM>(remote.At(0)), timeout, reply) > 0;
}

// Asked through the wide-character message: Wine's copy of the ANSI form between
// processes fails (the caller takes a page fault), the wide form works.
bool ComboItem(HWND combo, int index, DWORD timeout, std::string* text, Reply& reply) {
  long length = Ask(combo, CB_GETLBTEXTLEN, index, 0, timeout, reply);
  if (length < 0) return false;
  std::vector<WCHAR> wide(static_cast<size_t>(length) + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()),
                           SMTO_ABORTIFHUNG | SMTO_NORMAL, timeout, &copied)) {
    reply.Fail("control did not answer in time");
    return false;
  }
  if (copied >= wide.size()) copied = static_cast<DWORD_PTR>(length);
  std::vector<char> narrow(copied * 2 + 2, '\0');
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(copied), narrow.data(),
                                  static_cast<int>(narrow.size()), nullptr, nullptr);
  text->assign(narrow.data(), bytes > 0 ? static_cast<size_t>(bytes) : 0);
  return true;
}

}  // namespace

// rows <hwnd> [id=N] [row=N] [wide=1] -> one record per row, one quoted text per
// column (UTF-8 with wide=1)
void CmdRows(Args& args, Reply& reply) {
  HWND list = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  long only = args.OptionNumber("row", -1);
  const bool wide = args.OptionNumber("wide", 0) != 0;
  if (!list || !args.Error().empty()) return;
  long count = Ask(list, LVM_GETITEMCOUNT, 0, 0, timeout, reply);
  if (count < 0) return;
  int columns = ColumnCount(list, timeout, reply);
  RemoteBuffer remote(list, kRemoteSize);
  if (!remote.Valid()) return reply.Fail("cannot reach the list's process memory");
  long first = only >= 0 ? only : 0, end = only >= 0 ? only + 1 : count;
  if (only >= count) return reply.Fail("no row " + std::to_string(only));
  for (long row = first; row < end; ++row) {
    if (row > first) reply.NextRecord();
    for (int column = 0; column < columns; ++column) {
      std::string text;
      if (!(wide ? WideItemText : ItemText)(list, remote, static_cast<int>(row), column, timeout, &text, reply))
        return;
      reply.Text(text);
    }
  }
}

// columns <hwnd> [id=N] -> one record per column of a list view: "title" width
void CmdColumns(Args& args, Reply& reply) {
  HWND list = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  if (!list) return;
  int columns = ColumnCount(list, timeout, reply);
  RemoteBuffer remote(list, kRemoteSize);
  if (!remote.Valid()) return reply.Fail("cannot reach the list's process memory");
  for (int column = 0; column < columns; ++column) {
    LVCOLUMNA info = {};
    info.mask = LVCF_TEXT | LVCF_WIDTH;
    info.pszText = static_cast<char*>(remote.At(kTextOffset));
    info.cchTextMax = static_cast<int>(kTextCapacity);
    char empty = '\0';
    if (!remote.Write(0, &info, sizeof info) || !remote.Write(kTextOffset, &empty, 1))
      return reply.Fail("cannot write into the list's process");
    if (Ask(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(remote.At(0)), timeout, reply) <= 0) {
      if (!reply.Failed()) reply.Fail("list has no column " + std::to_string(column));
      return;
    }
    remote.Read(0, &info, sizeof info);
    if (column > 0) reply.NextRecord();
    reply.Text(info.pszText ? remote.ReadText(info.pszText, kTextCapacity) : std::string());
    reply.Number(info.cx);
  }
}

// rowrect <hwnd> [id=N] <row> -> left top right bottom of the row, in the list's
// client coordinates (for clicking it with `mouse`)
void CmdRowRect(Args& args, Reply& reply) {
  HWND list = TargetWindow(args, 0);
  long row = args.Number(1);
  DWORD timeout = TimeoutOf(args);
  if (!list || !args.Error().empty()) return;
  RemoteBuffer remote(list, kRemoteSize);
  if (!remote.Valid()) return reply.Fail("cannot reach the list's process memory");
  RECT rect = {};
  rect.left = LVIR_BOUNDS;
  if (!remote.Write(0, &rect, sizeof rect)) return reply.Fail("cannot write into the list's process");
  if (Ask(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)), timeout,
          reply) <= 0) {
    if (!reply.Failed()) reply.Fail("no row " + std::to_string(row));
    return;
  }
  remote.Read(0, &rect, sizeof rect);
  reply.Number(rect.left).Number(rect.top).Number(rect.right).Number(rect.bottom);
}

// count <hwnd> [id=N] -> number of items of a list view
void CmdCount(Args& args, Reply& reply) {
  HWND list = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  if (!list) return;
  long count = Ask(list, LVM_GETITEMCOUNT, 0, 0, timeout, reply);
  if (count >= 0) reply.Number(count);
}

// selected <hwnd> [id=N] -> the selected rows of a list view, in order
void CmdSelected(Args& args, Reply& reply) {
  HWND list = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  if (!list) return;
  for (int row : SelectedRows(list, timeout, reply)) reply.Number(row);
}

// select <hwnd> [id=N] [add=1] <row>... | none -> the selected rows afterwards.
// Clears the selection (unless add=1), then selects the rows and focuses the first,
// so that the program hears LVN_ITEMCHANGED as on a click.
void CmdSelect(Args& args, Reply& reply) {
  HWND list = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  bool add = args.OptionNumber("add", 0) != 0;
  std::vector<long> rows;
  for (size_t i = 1; i < args.Count(); ++i)
    if (args.Word(i) != "none") rows.push_back(args.Number(i));
  if (!list || !args.Error().empty()) return;
  RemoteBuffer remote(list, kRemoteSize);
  if (!remote.Valid()) return reply.Fail("cannot reach the list's process memory");
  if (!add && !SetState(list, remote, -1, LVIS_SELECTED, 0, timeout, reply)) {
    if (!reply.Failed()) reply.Fail("list refused to clear its selection");
    return;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    UINT state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
    if (!SetState(list, remote, static_cast<int>(rows[i]), LVIS_SELECTED | LVIS_FOCUSED, state,
                  timeout, reply)) {
      if (!reply.Failed()) reply.Fail("list refused to select row " + std::to_string(rows[i]));
      return;
    }
  }
  if (!rows.empty()) Ask(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows[0]), FALSE, timeout, reply);
  for (int row : SelectedRows(list, timeout, reply)) reply.Number(row);
}

// combo <hwnd> [id=N] -> index "text" of the current entry (-1 and the edit text when
// none is selected)
void CmdCombo(Args& args, Reply& reply) {
  HWND combo = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  if (!combo) return;
  long index = Ask(combo, CB_GETCURSEL, 0, 0, timeout, reply);
  if (reply.Failed()) return;
  std::string text;
  bool read = index >= 0 ? ComboItem(combo, static_cast<int>(index), timeout, &text, reply)
                         : TextOf(combo, timeout, &text);
  if (!read) return reply.Fail("combo box did not give its text");
  reply.Number(index).Text(text);
}

// comboitems <hwnd> [id=N] -> one record per entry: "text"
void CmdComboItems(Args& args, Reply& reply) {
  HWND combo = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  if (!combo) return;
  long count = Ask(combo, CB_GETCOUNT, 0, 0, timeout, reply);
  for (long i = 0; i < count; ++i) {
    std::string text;
    if (!ComboItem(combo, static_cast<int>(i), timeout, &text, reply)) return;
    if (i > 0) reply.NextRecord();
    reply.Text(text);
  }
}

// choose <hwnd> [id=N] <index | "text"> [timeout=ms] -> index answered.
// Selects the entry and tells the parent with CBN_SELCHANGE, which CB_SETCURSEL alone
// does not. `answered` is 0 when the parent was still busy with it at the timeout.
void CmdChoose(Args& args, Reply& reply) {
  HWND combo = TargetWindow(args, 0);
  std::string wanted = args.Text(1);
  DWORD timeout = TimeoutOf(args);
  if (!combo || !args.Error().empty()) return;
  long long index = -1;
  if (!ParseNumber(wanted, &index)) {
    long count = Ask(combo, CB_GETCOUNT, 0, 0, timeout, reply);
    index = -1;
    for (long i = 0; i < count && index < 0; ++i) {
      std::string text;
      if (!ComboItem(combo, static_cast<int>(i), timeout, &text, reply)) return;
      if (text == wanted) index = i;
    }
    if (index < 0) return reply.Fail("no entry " + wanted);
  }
  if (Ask(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, timeout, reply) != index) {
    if (!reply.Failed()) reply.Fail("combo box refused entry " + std::to_string(index));
    return;
  }
  HWND parent = GetParent(combo);
  WPARAM command = MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE);
  bool answered = SendWithin(parent, WM_COMMAND, command, reinterpret_cast<LPARAM>(combo), timeout, nullptr);
  reply.Number(index).Number(answered ? 1 : 0);
}

// status <hwnd> [id=N] [part=N] -> the text of one part, or one record per part
void CmdStatus(Args& args, Reply& reply) {
  HWND bar = TargetWindow(args, 0);
  DWORD timeout = TimeoutOf(args);
  long only = args.OptionNumber("part", -1);
  if (!bar || !args.Error().empty()) return;
  RemoteBuffer remote(bar, kRemoteSize);
  if (!remote.Valid()) return reply.Fail("cannot reach the status bar's process memory");
  long parts = Ask(bar, SB_GETPARTS, 256, reinterpret_cast<LPARAM>(remote.At(0)), timeout, reply);
  if (parts < 0) return;
  if (parts == 0) parts = 1;
  long first = only >= 0 ? only : 0, end = only >= 0 ? only + 1 : parts;
  for (long part = first; part < end; ++part) {
    long length = LOWORD(Ask(bar, SB_GETTEXTLENGTHA, part, 0, timeout, reply));
    if (reply.Failed()) return;
    if (static_cast<size_t>(length) >= kTextCapacity) return reply.Fail("status text too long");
    char empty = '\0';
    remote.Write(kTextOffset, &empty, 1);
    Ask(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(remote.At(kTextOffset)), timeout, reply);
    if (reply.Failed()) return;
    if (part > first) reply.NextRecord();
    reply.Text(remote.ReadText(remote.At(kTextOffset), static_cast<size_t>(length)));
  }
}

}  // namespace driver
