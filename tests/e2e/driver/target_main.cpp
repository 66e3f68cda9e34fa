// driver-target: a small program that stands in for the real one in the driver's own
// tests. It has one control of each kind the driver handles and writes every event it
// receives as one line into the log file named by its first argument, so a test can
// check that what the driver did really arrived.
//
//   driver-target.exe <log file>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "target_ids.h"

namespace {

constexpr UINT kCloseRequest = WM_USER + 102;
constexpr UINT kActivateRequest = WM_USER + 104;
constexpr int kExitCode = 42;  // when the user confirms closing

struct SampleRow {
  const char* name;
  const char* folder;
};

constexpr SampleRow kSampleRows[] = {
    {"alpha.mp3", "C:\\music"},
    {"beta \"live\".wav", "C:\\music\\concerts"},
    {"gamma \xe4.mp3", "C:\\music\\\xf6"},
    {nullptr, nullptr},
};

constexpr const char* kGenres[] = {"Blues", "Classic Rock", "Country", nullptr};

std::string g_logPath;
HWND g_main = nullptr;

void Log(const std::string& line) {
  if (g_logPath.empty()) return;
  HANDLE file = CreateFileA(g_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ControlText(HWND dialog, int id) {
  char text[1024] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

HWND List() { return GetDlgItem(g_main, IDC_TARGET_LIST); }

void UpdateStatus() {
  HWND bar = GetDlgItem(g_main, IDC_TARGET_STATUS);
  int rows = ListView_GetItemCount(List());
  int selected = ListView_GetSelectedCount(List());
  char count[64];
  snprintf(count, sizeof count, "%d file(s)", rows);
  SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(selected ? "Selected" : "Ready"));
  SendMessageA(bar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(count));
  EnableMenuItem(GetMenu(g_main), IDM_TARGET_REMOVE, MF_BYCOMMAND | (selected ? MF_ENABLED : MF_GRAYED));
}

void AddRow(const std::string& name, const std::string& folder) {
  HWND list = List();
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = ListView_GetItemCount(list);
  item.pszText = const_cast<char*>(name.c_str());
  int row = ListView_InsertItem(list, &item);
  ListView_SetItemText(list, row, 1, const_cast<char*>(folder.c_str()));
  UpdateStatus();
}

void SetUpControls(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_TARGET_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  const char* titles[] = {"Name", "Folder"};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 200 - i * 20;
    column.pszText = const_cast<char*>(titles[i]);
    ListView_InsertColumn(list, i, &column);
  }
  HWND combo = GetDlgItem(dialog, IDC_TARGET_COMBO);
  for (const char* const* g = kGenres; *g; ++g)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*g));
  HWND bar = GetDlgItem(dialog, IDC_TARGET_STATUS);
  int edges[] = {200, -1};
  SendMessageA(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
}

void AskQuestion(HWND dialog) {
  int answer = MessageBoxA(dialog, "Remove 2 file(s)\nfrom the list?", "Target", MB_YESNOCANCEL | MB_ICONQUESTION);
  Log("answer " + std::to_string(answer));
}

void ChooseFiles(HWND dialog) {
  char names[8192] = "";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = "Audio files (*.mp3;*.wav)\0*.mp3;*.wav\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = names;
  ofn.nMaxFile = sizeof names;
  ofn.lpstrTitle = "Add files";
  ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&ofn)) {
    Log("open cancelled " + std::to_string(CommDlgExtendedError()));
    return;
  }
  // One file: its full path. Several: the folder, then each name, then an empty text.
  std::string first = names;
  const char* next = names + first.size() + 1;
  if (*next == '\0') {
    size_t slash = first.find_last_of('\\');
    AddRow(first.substr(slash + 1), first.substr(0, slash));
    Log("open " + first);
    return;
  }
  for (; *next; next += strlen(next) + 1) {
    AddRow(next, first);
    Log("open " + first + "\\" + next);
  }
}

void OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDC_TARGET_EDIT:
      if (code == EN_CHANGE) Log("edit " + ControlText(dialog, id));
      return;
    case IDC_TARGET_COMBO:
      if (code == CBN_SELCHANGE) {
        int index = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
        char text[256] = "";
        if (index >= 0) SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        Log("combo " + std::to_string(index) + " " + text);
      }
      return;
    case IDC_TARGET_FILL:
      for (const SampleRow* r = kSampleRows; r->name; ++r) AddRow(r->name, r->folder);
      Log("fill");
      return;
    case IDC_TARGET_ASK: return AskQuestion(dialog);
    case IDC_TARGET_OPEN: return ChooseFiles(dialog);
    case IDC_TARGET_WEB: {
      INT_PTR result = reinterpret_cast<INT_PTR>(
          ShellExecuteA(dialog, "open", "http://www.vantoral.example/target?x=1", nullptr, nullptr, SW_SHOWNORMAL));
      Log(result > 32 ? "web opened" : "web failed " + std::to_string(result));
      return;
    }
    case IDM_TARGET_REMOVE:
      for (int row = ListView_GetItemCount(List()) - 1; row >= 0; --row)
        if (ListView_GetItemState(List(), row, LVIS_SELECTED)) ListView_DeleteItem(List(), row);
      UpdateStatus();
      break;
    case IDM_TARGET_EXIT: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
    default: break;
  }
  Log("command " + std::to_string(id) + " code " + std::to_string(code));
}

void OnListNotify(const NMHDR* header) {
  if (header->code == LVN_ITEMCHANGED) {
    auto change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (!(change->uChanged & LVIF_STATE)) return;
    bool was = (change->uOldState & LVIS_SELECTED) != 0, is = (change->uNewState & LVIS_SELECTED) != 0;
    if (was != is) Log("select " + std::to_string(change->iItem) + (is ? " on" : " off"));
    UpdateStatus();
  } else if (header->code == LVN_KEYDOWN) {
    auto key = reinterpret_cast<const NMLVKEYDOWN*>(header);
    Log("key " + std::to_string(key->wVKey) + " ctrl " + ((GetKeyState(VK_CONTROL) & 0x8000) ? "1" : "0") +
        " shift " + ((GetKeyState(VK_SHIFT) & 0x8000) ? "1" : "0"));
  } else if (header->code == NM_DBLCLK) {
    Log("double-click " + std::to_string(reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem));
  }
}

INT_PTR CALLBACK TargetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      g_main = dialog;
      SetUpControls(dialog);
      UpdateStatus();
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->idFrom == IDC_TARGET_LIST) OnListNotify(reinterpret_cast<NMHDR*>(lParam));
      return TRUE;
    case WM_CLOSE:
      Log("close asked");
      if (MessageBoxA(dialog, "Exit the target?", "Driver Target", MB_YESNO | MB_ICONQUESTION) == IDYES)
        DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      Log("destroyed");
      PostQuitMessage(kExitCode);
      return TRUE;
    case kCloseRequest:
    case kActivateRequest:
      Log("user " + std::to_string(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(wParam + lParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc > 1) g_logPath = __argv[1];
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefDlgProcA;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = "LDriverTarget";
  RegisterClassA(&windowClass);
  Log("start");
  HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_TARGET), nullptr, TargetProc, 0);
  if (!dialog) return 2;
  HACCEL keys = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_TARGET));
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(dialog, keys, &msg)) continue;
    if (IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
