// The main window's file list: its rows (file name and folder), adding files
// through the file-open dialog, removing and selecting them.
#include "app/win32/main_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <set>

#include "common/win32/settings.h"
#include "common/path.h"
#include "common/win32/wide.h"
#include "resource.h"

int MainDialog::RowCount() const { return ListView_GetItemCount(Item(IDC_FILELIST)); }

int MainDialog::SelectedCount() const { return ListView_GetSelectedCount(Item(IDC_FILELIST)); }

namespace {

std::string RowText(HWND list, int row, int column) {
  wchar_t text[MAX_PATH] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&item));
  return Utf8(text);
}

void SetRowText(HWND list, int row, int column, const std::string& text) {
  std::wstring wide = Wide(text);
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = &wide[0];
  SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

std::string MainDialog::PathOfRow(int row) const {
  HWND list = Item(IDC_FILELIST);
  return JoinPath(RowText(list, row, 1), RowText(list, row, 0));
}

std::vector<std::string> MainDialog::SelectedPaths() const {
  std::vector<std::string> paths;
  HWND list = Item(IDC_FILELIST);
  for (int row = -1; (row = ListView_GetNextItem(list, row, LVNI_SELECTED)) >= 0;)
    paths.push_back(PathOfRow(row));
  return paths;
}

bool MainDialog::AddRow(const std::string& path) { return AddRows({path}) == 0; }

size_t MainDialog::AddRows(const std::vector<std::string>& paths) {
  // The rows' paths are read once, not once for every new file.
  std::set<std::string> present;
  const int rows = RowCount();
  for (int row = 0; row < rows; ++row) present.insert(LowerCase(PathOfRow(row)));
  HWND list = Item(IDC_FILELIST);
  size_t skipped = 0;
  // Drawn once at the end: a list that repaints after every insert takes seconds
  // for a few hundred files.
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  for (const std::string& path : paths) {
    if (!present.insert(LowerCase(path)).second) {
      ++skipped;
      continue;
    }
    std::wstring name = Wide(FileNameOf(path));
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = RowCount();
    item.pszText = &name[0];
    const int at = int(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at >= 0) SetRowText(list, at, 1, DirectoryOf(path));
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  return skipped;
}

void MainDialog::AddFiles() {
  std::vector<wchar_t> buffer(65536, 0);
  const std::wstring folder = Wide(ReadMachineText(kSettingsArea, kLoadFromFolderValue));
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd();
  ofn.lpstrFilter = L"Wave or MP3 Files\0*.WAV;*.MP3\0";
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = L"Locate Wave or MP3 File";
  ofn.lpstrDefExt = L"wav";
  ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
              OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&ofn)) return;

  // One file: its full path. Several: the folder, then each name, each ended by a zero.
  std::vector<std::string> paths;
  const wchar_t* first = buffer.data();
  const wchar_t* next = first + wcslen(first) + 1;
  std::string chosenFolder;
  if (*next == L'\0') {
    paths.push_back(Utf8(first));
    chosenFolder = DirectoryOf(paths.back());
  } else {
    chosenFolder = Utf8(first);
    for (; *next; next += wcslen(next) + 1) paths.push_back(JoinPath(chosenFolder, Utf8(next)));
  }
  WriteMachineText(kSettingsArea, kLoadFromFolderValue, chosenFolder.c_str());

  if (AddRows(paths) > 0)
    MessageBoxA(hwnd(), "One or more files were not added because they already exist in the list.",
                "Lirva", MB_OK | MB_ICONINFORMATION);
}

void MainDialog::RemoveSelectedFiles() {
  if (SelectedCount() == 0) return;
  if (MessageBoxA(hwnd(), "Are you sure you want to remove the selected file(s)?", "Confirm Remove",
                  MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES)
    return;
  HWND list = Item(IDC_FILELIST);
  for (int row = RowCount() - 1; row >= 0; --row)
    if (ListView_GetItemState(list, row, LVIS_SELECTED)) ListView_DeleteItem(list, row);
}

void MainDialog::SelectAll() {
  HWND list = Item(IDC_FILELIST);
  // Only one row can hold the focus: a call that asks for it on every row is refused whole.
  ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
  if (ListView_GetNextItem(list, -1, LVNI_FOCUSED) < 0 && RowCount() > 0)
    ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
}
