#include "ui/dialog.h"

#include <commctrl.h>
#include <prsht.h>

#include "common/win32/wide.h"
#include "ui/help.h"

namespace {
constexpr UINT_PTR kWorkTimer = 100;

DialogBase* ObjectOf(HWND window) {
  return reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
}
}  // namespace

HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

void SetWindowUtf8(HWND window, const std::string& text) { SetWindowTextW(window, Wide(text).c_str()); }

void SetItemUtf8(HWND dialog, int id, const std::string& text) { SetWindowUtf8(GetDlgItem(dialog, id), text); }

std::string WindowUtf8(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::string();
  std::wstring text(size_t(length) + 1, L'\0');
  const int got = GetWindowTextW(window, &text[0], length + 1);
  return Utf8(text.data(), got > 0 ? got : 0);
}

int MessageBoxUtf8(HWND owner, const std::string& text, const char* caption, UINT flags) {
  return MessageBoxW(owner, Wide(text).c_str(), caption ? Wide(caption).c_str() : nullptr, flags);
}

TemplateW::TemplateW(LPCSTR name) {
  if (IS_INTRESOURCE(name))
    id_ = reinterpret_cast<LPCWSTR>(name);
  else
    text_ = Wide(name);
}

UINT KeyCodeWithModifiers(WPARAM virtualKey) {
  UINT code = static_cast<UINT>(virtualKey) & 0xFFFF;
  if (GetKeyState(VK_CONTROL) < 0) code |= kKeyCtrl;
  if (GetKeyState(VK_MENU) < 0) code |= kKeyAlt;
  if (GetKeyState(VK_SHIFT) < 0) code |= kKeyShift;
  return code;
}

// ---------------------------------------------------------------------------
// The dialog procedures

INT_PTR CALLBACK SharedDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG && lParam) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    reinterpret_cast<DialogBase*>(lParam)->hwnd_ = window;
  }
  DialogBase* dialog = ObjectOf(window);
  if (dialog && dialog->hwnd_ == window) return dialog->HandleMessage(message, wParam, lParam);
  return 0;
}

INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* page = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
    auto* dialog = page ? reinterpret_cast<DialogBase*>(page->lParam) : nullptr;
    if (!dialog) return 1;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    dialog->hwnd_ = window;
    dialog->OnInitDialog();
    dialog->UpdateControls();
    return 1;
  }
  DialogBase* dialog = ObjectOf(window);
  if (dialog && dialog->hwnd_ == window) return dialog->HandleMessage(message, wParam, lParam);
  return 0;
}

// ---------------------------------------------------------------------------
// DialogBase

void DialogBase::End(INT_PTR result) {
  HWND window = hwnd_;
  OnDestroy();
  hwnd_ = nullptr;  // the WM_DESTROY that follows no longer reaches us
  EndDialog(window, result);
}

INT_PTR DialogBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return StandardDispatch(message, wParam, lParam);
}

INT_PTR DialogBase::StandardDispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      UpdateControls();
      return 1;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (OnOK()) End(IDOK);
          return 1;
        case IDCANCEL:
          if (OnCancel()) End(IDCANCEL);
          return 1;
        case IDHELP:
          OnHelp();
          return 1;
        default:
          OnCommand(wParam, HIWORD(wParam));
          if (hwnd_) UpdateControls();
          return 1;
      }
    case WM_HELP:
      OnHelp();
      return 1;
    case WM_DESTROY:
      OnDestroy();
      hwnd_ = nullptr;
      return 0;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// ModelessDialog

void ModelessDialog::End(INT_PTR) {
  HWND window = hwnd();
  if (!window) return;
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner) EnableWindow(owner, TRUE);
  DestroyWindow(window);
}

bool ModelessDialog::PreTranslate(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  bool used = false;
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      UINT key = KeyCodeWithModifiers(wParam);
      used = (lParam & (1 << 30)) ? OnKeyRepeat(key) : OnKeyDown(key);
      break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      used = OnKeyUp(static_cast<UINT>(wParam));
      break;
    default:
      return false;
  }
  if (used && hwnd()) UpdateControls();
  return used;
}

// ---------------------------------------------------------------------------
// AppWindowBase

void AppWindowBase::OnHelp() { OpenHelpTopic("index"); }

// The program's icon in the window's caption (16 pixels) and task switcher (32).
void AppWindowBase::SetProgramIcons() {
  HANDLE big = LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, LR_SHARED);
  HANDLE small = LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, LR_SHARED);
  SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

INT_PTR AppWindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_CLOSE:
      if (OnCancel()) End(IDCANCEL);
      return 1;
    case WM_ENDSESSION:
      if (wParam) End(IDCANCEL);
      return 1;
    case kCloseRequest:
      End(IDCANCEL);
      return 1;
    case WM_INITDIALOG:
      SetProgramIcons();
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) return 1;
      break;
    case kActivateRequest:
      if (wParam == 0) {
        ShowWindow(hwnd(), IsZoomed(hwnd()) ? SW_MAXIMIZE : SW_RESTORE);
        SetForegroundWindow(hwnd());
      }
      return 1;
  }
  return StandardDispatch(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// PropertyPageBase and TimedPage

void PropertyPageBase::End(INT_PTR) {
  if (hwnd()) PostMessageA(GetParent(hwnd()), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void PropertyPageBase::PressNextOrFinish() {
  PostMessageA(GetParent(hwnd()), PSM_PRESSBUTTON,
               (wizardFlags & kWizNext) ? PSBTN_NEXT : PSBTN_FINISH, 0);
}

INT_PTR PropertyPageBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(message, wParam, lParam);
}

INT_PTR PropertyPageBase::PageDispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    auto* header = reinterpret_cast<const NMHDR*>(lParam);
    HWND sheet = GetParent(hwnd());
    if (header && header->hwndFrom == sheet) {
      LONG_PTR answer = 0;
      switch (header->code) {
        case PSN_SETACTIVE:
          PostMessageA(sheet, PSM_SETWIZBUTTONS, 0, wizardFlags);
          OnSetActive();
          UpdateControls();
          break;
        case PSN_KILLACTIVE:
          OnKillActive();
          break;
        case PSN_WIZNEXT:
        case PSN_WIZFINISH:
          answer = OnOK() ? 0 : -1;
          break;
        case PSN_APPLY:
          answer = OnOK() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
          break;
        case PSN_QUERYCANCEL:
          answer = OnCancel() ? 0 : 1;
          break;
        case PSN_HELP:
          OnHelp();
          return 1;
        default:
          return StandardDispatch(message, wParam, lParam);
      }
      if (hwnd()) SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, answer);
      return 1;
    }
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) return 1;
  return StandardDispatch(message, wParam, lParam);
}

INT_PTR TimedPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    KillTimer(hwnd(), kWorkTimer);
    if (wParam == kWorkTimer) DoWork();
  }
  return PageDispatch(message, wParam, lParam);
}

void TimedPage::OnSetActive() {
  stop = false;
  SetTimer(hwnd(), kWorkTimer, 0, nullptr);
}

void TimedPage::OnKillActive() { stop = true; }

// ---------------------------------------------------------------------------
// Running dialogs

INT_PTR RunModal(DialogBase& dialog, LPCSTR templateName, HWND owner) {
  return DialogBoxParamW(ProgramInstance(), TemplateW(templateName).name(), owner, SharedDialogProc,
                         reinterpret_cast<LPARAM>(&dialog));
}

void RunModelessLoop(ModelessDialog& dialog) {
  MSG msg;
  while (dialog.hwnd() && IsWindow(dialog.hwnd())) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got != 1) {
      if (dialog.hwnd()) DestroyWindow(dialog.hwnd());
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // let outer loops end too
      break;
    }
    if (dialog.PreTranslate(msg.hwnd, msg.message, msg.wParam, msg.lParam)) continue;
    if (dialog.hwnd() && IsDialogMessageW(dialog.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool RunModeless(ModelessDialog& dialog, LPCSTR templateName, HWND owner) {
  if (dialog.hwnd()) return false;
  HWND window = CreateDialogParamW(ProgramInstance(), TemplateW(templateName).name(), owner, SharedDialogProc,
                                   reinterpret_cast<LPARAM>(&dialog));
  if (!window) return false;
  if (owner) EnableWindow(owner, FALSE);
  // Shown as a modal dialog would be, whether or not its template says so.
  if (IsWindow(window) && !IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
  RunModelessLoop(dialog);
  if (owner) EnableWindow(owner, TRUE);
  return true;
}
