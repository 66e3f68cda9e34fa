#include "app/win32/main_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/file_messages.h"
#include "common/win32/settings.h"
#include "app/win32/window_placement.h"
#include "net/win32/siblings.h"
#include "net/win32/version_check.h"
#include "common/file_kind.h"
#include "common/path.h"
#include "common/text.h"
#include "playback/win32/player_dialog.h"
#include "resource.h"
#include "tags/tag_record.h"
#include "ui/control_tables.h"
#include "ui/help.h"
#include "ui/progress.h"

const int kFieldControls[kFieldCount] = {IDC_TITLE, IDC_YEAR,    IDC_ARTIST, IDC_TRACK,
                                         IDC_ALBUM, IDC_COMMENT, IDC_GENRE};

namespace {
constexpr int kGenreField = 6;
constexpr UINT_PTR kNoticeTimer = 2;
constexpr UINT kFirstNoticeMs = 500;
constexpr UINT kNoticeMs = 8000;
// Posted to ourselves when a row's selection changed, so that a burst of list
// notifications (Select All, a shift-click) reads one file once.
constexpr UINT kSelectionSettled = WM_APP + 1;

struct KeyCommand {
  UINT key;  // virtual key with modifier flags
  int command;
};
constexpr KeyCommand kKeyCommands[] = {
    {'G' | kKeyCtrl, IDM_TAGFILES},        {'N' | kKeyCtrl, IDM_ADDFILES},
    {VK_DELETE | kKeyCtrl, IDM_REMOVEFILES}, {VK_F9, IDM_PLAYFILE},
    {'L' | kKeyCtrl, IDM_CLEARFIELDS},     {'A' | kKeyCtrl, IDM_SELECTALL},
    {VK_F8, IDM_EDITAUDIO},                {'F' | kKeyCtrl, IDM_CONVERT},
    {'D' | kKeyCtrl, IDM_BURNAUDIOCD},     {'M' | kKeyCtrl, IDM_BURNMP3CD},
};

struct MenuHelpRow {
  int command;
  const char* text;
};
constexpr MenuHelpRow kMenuHelp[] = {
    {IDM_ADDFILES, "Add audio file(s) to the list."},
    {IDM_REMOVEFILES, "Remove the selected audio file(s) from the list."},
    {IDM_PLAYFILE, "Play the selected audio file."},
    {IDM_CLEARFIELDS, "Clear all the tag fields."},
    {IDM_EDITAUDIO, "Edit the selected audio file in Pellam."},
    {IDM_CONVERT, "Convert the selected audio file(s) to the specified output format."},
    {IDM_BURNAUDIOCD, "Burn the selected audio WAV file(s) to CD."},
    {IDM_BURNMP3CD, "Burn the selected audio MP3 file(s) to CD."},
    {IDM_SELECTALL, "Select all files."},
    {IDM_TAGFILES, "Apply the changes made to the tags."},
    {IDM_EXIT, "Exit Lirva."},
};

// Commands that need at least one selected row.
constexpr int kSelectionCommands[] = {IDM_REMOVEFILES, IDM_PLAYFILE,  IDM_CLEARFIELDS,
                                      IDM_EDITAUDIO,   IDM_CONVERT,   IDM_BURNAUDIOCD,
                                      IDM_BURNMP3CD,   IDM_COPYTITLE};

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}
}  // namespace

std::string ControlText(HWND control) { return WindowUtf8(control); }

namespace {
// The changed fields' background: the active-border colour, unless the system's
// colours make it the fields' own (as Wine's defaults do, all white), when a change
// would not show: then the classic light grey.
COLORREF ChangedFieldColour() {
  const COLORREF border = GetSysColor(COLOR_ACTIVEBORDER);
  return border != GetSysColor(COLOR_WINDOW) ? border : RGB(192, 192, 192);
}
}  // namespace

MainDialog::MainDialog() { RegisterAboutWindowClass(); }

MainDialog::~MainDialog() = default;

// ---------------------------------------------------------------------------
// Building the window

void MainDialog::OnInitDialog() {
  buttonFont_.Reset(CreateFontA(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS,
                                nullptr));
  changedBrush_.Reset(CreateSolidBrush(ChangedFieldColour()));

  ShowSplash(splash_, hwnd());
  AddWebLinks(GetMenu(hwnd()), IDM_ABOUT);
  CreateToolbar(toolbar_, hwnd(), kMainToolbar);
  AddTooltips(hwnd(), tooltip_, kMainTooltips, kMainTooltipCount);
  SetTimer(hwnd(), kNoticeTimer, kFirstNoticeMs, nullptr);

  TrackHover(Item(IDC_TAGBUTTON));
  SetButtonIcon(hwnd(), IDC_TAGBUTTON, MAKEINTRESOURCEA(IDI_TAGBUTTON));
  HWND list = Item(IDC_FILELIST);
  ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  AddListColumns(hwnd(), IDC_FILELIST, kMainListColumns);

  TCITEMA tab = {};
  tab.mask = TCIF_TEXT;
  tab.pszText = const_cast<char*>("ID3v1/v2 Tag");
  SendDlgItemMessageA(hwnd(), IDC_TAGFRAME, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tab));
  SendDlgItemMessageA(hwnd(), IDC_TAGFRAME, TCM_SETCURSEL,
                      ReadUserNumber(kFindWindowArea, kTabValue, kDefaultTab), 0);

  FillCombo(hwnd(), IDC_GENRE, GenreNames, kGenreCount);
  for (int id : kFieldControls)
    if (id != IDC_GENRE) SendDlgItemMessageA(hwnd(), id, EM_LIMITTEXT, kMaxValue, 0);

  RestoreWindowPlacement(hwnd());
  Layout();
}

void MainDialog::OnDestroy() {
  KillTimer(hwnd(), kNoticeTimer);
  StoreWindowPlacement(hwnd());
}

void MainDialog::RaiseSplash() {
  if (splash_.window && IsWindow(splash_.window))
    SetWindowPos(splash_.window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------
// Fields

void MainDialog::LoadFieldsFromSelection(bool force) {
  HWND list = Item(IDC_FILELIST);
  int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (row < 0) return;
  std::string path = PathOfRow(row);
  if (!force && path == loadedPath_) return;  // extending a selection keeps the edits
  loadedPath_ = path;

  if (FileKindOf(path) == FileKind::Other) {
    MessageBoxA(hwnd(), kOnlyWavAndMp3Read.sentence, nullptr, MB_OK | MB_ICONERROR);
    return;
  }
  TagRecord record;
  if (!ReadTags(record, path.c_str()))
    MessageBoxA(hwnd(), kCouldNotReadFile.sentence, "Lirva", MB_OK | MB_ICONERROR);

  for (int i = 0; i < kFieldCount; ++i) {
    if (i == kGenreField) continue;
    loaded_[i] = CutToCharacters(record.Get(kFieldKeys[i]), kMaxValue);
    SetItemUtf8(hwnd(), kFieldControls[i], loaded_[i]);
  }
  HWND genre = Item(IDC_GENRE);
  const std::string& name = record.Get("GENRE");
  if (name.empty()) {
    SendMessageA(genre, CB_SETCURSEL, kGenreCount - 1, 0);
  } else {
    for (int i = 0; i < kGenreCount; ++i) {
      if (StartsWithNoCase(GenreNames[i], name)) {
        SendMessageA(genre, CB_SETCURSEL, i, 0);
        break;
      }
    }
  }
  loaded_[kGenreField] = ControlText(genre);
  for (int i = 0; i < kFieldCount; ++i) changed_[i] = false;
  for (int id : kFieldControls) InvalidateRect(Item(id), nullptr, TRUE);
}

void MainDialog::UpdateChangedFlag(int field) {
  if (SelectedCount() == 0) return;
  HWND control = Item(kFieldControls[field]);
  // Letter case counts: "beatles" corrected to "Beatles" must be written.
  changed_[field] = ControlText(control) != loaded_[field];
  InvalidateRect(control, nullptr, TRUE);
}

void MainDialog::ClearFields() {
  for (int i = 0; i < kFieldCount; ++i)
    if (i != kGenreField) SetItemUtf8(hwnd(), kFieldControls[i], "");
  SendDlgItemMessageA(hwnd(), IDC_GENRE, CB_SETCURSEL, kGenreCount - 1, 0);
  UpdateChangedFlag(kGenreField);  // CB_SETCURSEL tells nobody
}

INT_PTR MainDialog::ColourField(HDC dc, HWND control) {
  for (int i = 0; i < kFieldCount; ++i) {
    if (Item(kFieldControls[i]) != control) continue;
    if (!changed_[i]) return 0;
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    const COLORREF changed = ChangedFieldColour();
    SetBkColor(dc, changed == GetSysColor(COLOR_ACTIVEBORDER) ? GetSysColor(COLOR_MENU) : changed);
    return reinterpret_cast<INT_PTR>(changedBrush_.get());
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Commands and keys

void MainDialog::OnCommand(WPARAM command, UINT code) {
  const int id = LOWORD(command);
  for (int i = 0; i < kFieldCount; ++i) {
    if (id != kFieldControls[i]) continue;
    if ((id == IDC_GENRE && code == CBN_SELCHANGE) || (id != IDC_GENRE && code == EN_CHANGE))
      UpdateChangedFlag(i);
    return;
  }
  const bool selected = SelectedCount() > 0;
  if (id >= kWebLinkFirstCommand && id < kWebLinkFirstCommand + kWebLinkCount) {
    const WebLink& link = kWebLinks[id - kWebLinkFirstCommand];
    if (link.slug)
      OpenPage(hwnd(), WebPage(MakerSite(), link.slug, true));
    return;
  }
  switch (id) {
    case IDM_ADDFILES: AddFiles(); break;
    case IDM_REMOVEFILES: RemoveSelectedFiles(); break;
    case IDM_COPYTITLE: if (selected) TagSelectedFiles(true); break;
    case IDM_TAGFILES: TagSelectedFiles(false); break;
    case IDM_CLEARFIELDS: if (selected) ClearFields(); break;
    case IDM_SELECTALL: SelectAll(); break;
    case IDM_EXIT:
      if (OnCancel()) End(IDCANCEL);
      break;
    case IDM_HELPCONTENTS: OnHelp(); break;
    case IDM_ABOUT: ShowAboutBox(hwnd()); break;
    case IDM_PLAYFILE: if (selected) PlaySelectedFile(); break;
    case IDM_CHECKVERSION: CheckVersion(hwnd(), false); break;
    case IDM_INSTALLRELATED: RunRelatedProgramsWizard(hwnd()); break;
    case IDM_EDITAUDIO: LaunchOnSelection(kSiblingLaunchers[0]); break;
    case IDM_CONVERT: LaunchOnSelection(kSiblingLaunchers[1]); break;
    case IDM_BURNAUDIOCD: LaunchOnSelection(kSiblingLaunchers[2]); break;
    case IDM_BURNMP3CD: LaunchOnSelection(kSiblingLaunchers[3]); break;
  }
}

void MainDialog::LaunchOnSelection(const SiblingLauncher& launcher) {
  const std::vector<std::string> paths = SelectedPaths();
  if (!paths.empty()) LaunchSibling(launcher, paths.front(), hwnd());
}

void MainDialog::PlaySelectedFile() {
  const std::vector<std::string> paths = SelectedPaths();
  if (paths.empty()) return;
  PlayRequest request;
  MakePlayRequest(request, paths.front().c_str());
  PlayerDialog player(request);
  RunModeless(player, DLG_PLAYER, hwnd());
  SetForegroundWindow(hwnd());
}

bool MainDialog::OnKeyDown(UINT key) {
  for (const KeyCommand& k : kKeyCommands) {
    if (k.key == key) {
      OnCommand(k.command, 0);
      return true;
    }
  }
  return false;
}

void MainDialog::EnableCommand(int command, bool enabled) {
  EnableMenuItem(GetMenu(hwnd()), command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  if (toolbar_.window)
    SendMessageA(toolbar_.window, TB_ENABLEBUTTON, command, MAKELONG(enabled, 0));
}

void MainDialog::UpdateControls() {
  const bool rows = RowCount() > 0;
  const bool selected = SelectedCount() > 0;
  EnableWindow(Item(IDC_TAGBUTTON), rows);
  EnableCommand(IDM_TAGFILES, rows);
  EnableCommand(IDM_SELECTALL, rows);
  for (int id : kFieldControls) EnableWindow(Item(id), selected);
  for (int command : kSelectionCommands) EnableCommand(command, selected);
}

void MainDialog::ShowContextMenu(POINT at) {
  HMENU menu = LoadMenuA(ProgramInstance(), MAKEINTRESOURCEA(IDR_LISTMENU));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  const UINT state = SelectedCount() > 0 ? MF_ENABLED : MF_GRAYED;
  for (int command : kSelectionCommands) EnableMenuItem(popup, command, MF_BYCOMMAND | state);
  EnableMenuItem(popup, IDM_SELECTALL, MF_BYCOMMAND | state);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr);
  DestroyMenu(menu);
}

void MainDialog::ShowNextNotice() {
  char text[256] = {};
  LoadStringA(ProgramInstance(), IDS_NOTICE_FIRST + notice_, text, sizeof text);
  SendDlgItemMessageA(hwnd(), IDC_STATUSBAR, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
  notice_ = (notice_ + 1) % IDS_NOTICE_COUNT;
}

// ---------------------------------------------------------------------------
// Messages

// The maker's web pages: Help-menu items before `before`, or a pop-up menu.
void MainDialog::AddWebLinks(HMENU menu, UINT before) {
  for (int i = 0; i < kWebLinkCount; ++i) {
    const WebLink& link = kWebLinks[i];
    if (*link.name)
      InsertMenuA(menu, before, MF_BYCOMMAND | MF_STRING, kWebLinkFirstCommand + i, link.name);
    else
      InsertMenuA(menu, before, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
  }
  InsertMenuA(menu, before, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
}

void MainDialog::ShowWebLinksMenu(POINT at) {
  HMENU popup = CreatePopupMenu();
  for (int i = 0; i < kWebLinkCount; ++i) {
    const WebLink& link = kWebLinks[i];
    AppendMenuA(popup, *link.name ? MF_STRING : MF_SEPARATOR, kWebLinkFirstCommand + i, link.name);
  }
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr);
  DestroyMenu(popup);
}

INT_PTR MainDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom == IDC_STATUSBAR && header.code == NM_CLICK) {
    POINT at;
    GetCursorPos(&at);
    ShowWebLinksMenu(at);
    return 0;
  }
  if (header.idFrom == IDC_FILELIST) {
    if (header.code == LVN_ITEMCHANGED) {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if ((change.uChanged & LVIF_STATE) &&
          ((change.uNewState ^ change.uOldState) & LVIS_SELECTED))
        PostMessageA(hwnd(), kSelectionSettled, 0, 0);
    } else if (header.code == NM_RCLICK) {
      POINT at;
      GetCursorPos(&at);
      ShowContextMenu(at);
    }
    return 0;
  }
  if (header.hwndFrom == toolbar_.window && header.code == NM_CUSTOMDRAW) {
    const auto& draw = reinterpret_cast<const NMCUSTOMDRAW&>(header);
    if (draw.dwDrawStage == CDDS_PREPAINT && toolbar_.memoryDc) {
      RECT r;
      GetClientRect(toolbar_.window, &r);
      BitBlt(draw.hdc, 0, 0, r.right, r.bottom, toolbar_.memoryDc.get(), 0, 0, SRCCOPY);
    }
    SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, CDRF_DODEFAULT);
    return 1;
  }
  return 0;
}

// The exit question; the close request of a starting installer does not ask.
void MainDialog::OnClose() {
  if (MessageBoxA(hwnd(), "Exit Lirva?", "Lirva", MB_OKCANCEL | MB_ICONQUESTION) == IDOK &&
      OnCancel())
    End(IDCANCEL);
}

// Changed fields in their colours; the field labels on the tab's face.
INT_PTR MainDialog::OnCtlColorStatic(HDC dc, HWND control) {
  if (INT_PTR brush = ColourField(dc, control)) return brush;
  const int id = GetDlgCtrlID(control);
  if (id < IDC_LABEL_TITLE || id > IDC_LABEL_COMMENT) return 0;
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetStockObject(HOLLOW_BRUSH));
}

// The help line of the menu item under the mouse, in the status bar.
void MainDialog::OnMenuSelect(UINT item, UINT flags) {
  if (flags & MF_POPUP) return;
  for (const MenuHelpRow& h : kMenuHelp) {
    if (h.command == static_cast<int>(item)) {
      SendDlgItemMessageA(hwnd(), IDC_STATUSBAR, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(h.text));
      return;
    }
  }
}

void MainDialog::OnNoticeTimer() {
  SetTimer(hwnd(), kNoticeTimer, kNoticeMs, nullptr);
  ShowNextNotice();
}

INT_PTR MainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE: OnClose(); return 1;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout();
      return 1;
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case kSelectionSettled:
      LoadFieldsFromSelection(false);
      UpdateControls();
      return 1;
    case WM_DRAWITEM:
      if (wParam != IDC_TAGBUTTON) break;
      DrawGradientButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), buttonFont_.get());
      return 1;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return ColourField(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORSTATIC:
      if (INT_PTR brush = OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
        return brush;
      break;
    case WM_MENUSELECT: OnMenuSelect(LOWORD(wParam), HIWORD(wParam)); return 1;
    case WM_TIMER:
      if (wParam != kNoticeTimer) break;
      OnNoticeTimer();
      return 1;
    case WM_MOUSEMOVE: ClearHotControl(); break;
  }
  return AppWindowBase::HandleMessage(message, wParam, lParam);
}
