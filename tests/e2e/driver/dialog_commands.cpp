// Commands for the system's own dialogs: message boxes and the file-open dialog.
#include <cctype>

#include "commands.h"
#include "window_query.h"

#include <vector>

namespace driver {
namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static control holding a message box's text
constexpr int kFileNameBoxId = 1148;    // the file-name box of the file-open dialog

struct ButtonName {
  const char* name;
  int id;
};

constexpr ButtonName kButtonNames[] = {
    {"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT},       {"retry", IDRETRY},
    {"ignore", IDIGNORE}, {"yes", IDYES},       {"no", IDNO},             {"close", IDCLOSE},
    {"help", IDHELP},     {"tryagain", IDTRYAGAIN}, {"continue", IDCONTINUE},
    {nullptr, 0},
};

bool ButtonId(const std::string& text, long* id) {
  long long number = 0;
  if (ParseNumber(text, &number)) {
    *id = static_cast<long>(number);
    return true;
  }
  std::string lower;
  for (char c : text) lower += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (const ButtonName* b = kButtonNames; b->name; ++b) {
    if (lower == b->name) {
      *id = b->id;
      return true;
    }
  }
  return false;
}

// The message box that `owner` shows now, or null.
HWND MessageBoxOf(DWORD pid, HWND owner) {
  WindowFilter filter;
  filter.byClass = true;
  filter.className = "#32770";
  filter.byChild = true;
  filter.childId = kMessageTextId;
  filter.visibleOnly = true;
  filter.pid = pid;
  for (HWND window : TopLevelWindows())
    if (filter.Matches(window) && OwnerOf(window) == owner) return window;
  return nullptr;
}

std::string MessageText(HWND box) {
  std::string text;
  if (!TextOf(GetDlgItem(box, kMessageTextId), 1000, &text)) text = CaptionOf(GetDlgItem(box, kMessageTextId));
  return text;
}

HWND EditOf(HWND box) {
  if (lstrcmpiA(ClassOf(box).c_str(), "Edit") == 0) return box;
  for (HWND child : ChildWindows(box))
    if (lstrcmpiA(ClassOf(child).c_str(), "Edit") == 0) return child;
  return box;
}

// With `wide` the text is UTF-8 and goes in through the wide-character message.
bool SetBoxText(HWND edit, const std::string& text, DWORD timeout, bool wide = false) {
  LRESULT done = 0;
  if (!wide) return SendWithin(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), timeout, &done) && done;
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::vector<wchar_t> utf16(size_t(n > 0 ? n : 0) + 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), utf16.data(), n);
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(utf16.data()), SMTO_ABORTIFHUNG,
                             timeout, &answer) &&
         answer;
}

}  // namespace

// msgbox [pid=N] [caption="..."] [contains="..."] [timeout=ms]
//   -> hwnd "caption" "text" ; id "button text" ; id "button text" ...
// Waits for a message box: a dialog of class #32770 with the text control 0xFFFF.
void CmdMsgBox(Args& args, Reply& reply) {
  WindowFilter filter;
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!filter.Read(args)) return;
  // The text filter applies to the message, not to the caption.
  bool byText = filter.byContains;
  std::string part = filter.contains;
  filter.byContains = false;
  filter.byClass = true;
  filter.className = "#32770";
  filter.byChild = true;
  filter.childId = kMessageTextId;
  filter.visibleOnly = true;
  HWND box = nullptr;
  WaitUntil(timeout, [&] {
    for (HWND window : TopLevelWindows()) {
      if (!filter.Matches(window)) continue;
      if (byText && MessageText(window).find(part) == std::string::npos) continue;
      box = window;
      return true;
    }
    return false;
  });
  if (!box) return reply.Fail("no message box");
  reply.Handle(box).Text(CaptionOf(box)).Text(MessageText(box));
  for (HWND child : ChildWindows(box)) {
    if (lstrcmpiA(ClassOf(child).c_str(), "Button") != 0 || !IsWindowVisible(child)) continue;
    reply.NextRecord().Number(GetDlgCtrlID(child)).Text(CaptionOf(child));
  }
}

// press <hwnd> <button> -> ok. Presses a dialog's button by id or by name (ok, cancel,
// yes, no, retry, ...), as a click on it would: the dialog gets WM_COMMAND BN_CLICKED.
// Cancel needs no button: it is what Escape and the close box give.
void CmdPress(Args& args, Reply& reply) {
  HWND dialog = args.Window(0);
  std::string name = args.Text(1);
  if (!dialog || !args.Error().empty()) return;
  long id = 0;
  if (!ButtonId(name, &id)) return reply.Fail("unknown button " + name);
  HWND button = GetDlgItem(dialog, static_cast<int>(id));
  if (!button && id != IDCANCEL) return reply.Fail("dialog has no button " + name);
  if (button && (!IsWindowVisible(button) || !IsWindowEnabled(button)))
    return reply.Fail("button " + name + " cannot be pressed");
  if (!PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)))
    reply.Fail("PostMessage failed");
}

// openfile [pid=N] [folder="Z:\\dir"] "names" [timeout=ms] -> ok once the dialog closed.
// Fills in the file-open dialog: first goes to the folder (typed as the file name and
// confirmed, as a user does), then enters the names (`"a.mp3" "b.mp3"` picks several
// files of the folder; a full path picks one) and presses Open. Fails with the text
// of any message box the dialog shows instead of closing.
void CmdOpenFile(Args& args, Reply& reply) {
  WindowFilter filter;
  std::string folder = args.Option("folder");
  std::string names = args.Text(0);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  const bool wide = args.OptionNumber("wide", 0) != 0;
  if (!filter.Read(args) || !args.Error().empty()) return;
  filter.byClass = true;
  filter.className = "#32770";
  filter.byChild = true;
  filter.childId = kFileNameBoxId;
  filter.visibleOnly = true;
  HWND dialog = WaitForWindow(filter, timeout);
  if (!dialog) return reply.Fail("no file-open dialog");
  DWORD pid = ProcessOf(dialog);
  HWND edit = EditOf(GetDlgItem(dialog, kFileNameBoxId));
  HWND open = GetDlgItem(dialog, IDOK);
  if (!folder.empty()) {
    if (!SetBoxText(edit, folder, timeout, wide)) return reply.Fail("file-name box refused the folder");
    // Sent, not posted: the dialog has changed folders when the call returns.
    bool answered = SendWithin(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(open), timeout, nullptr);
    if (HWND box = MessageBoxOf(pid, dialog)) return reply.Fail("file dialog says: " + MessageText(box));
    if (!answered) return reply.Fail("file dialog did not take the folder");
    if (!IsWindow(dialog)) return reply.Fail("file dialog closed on the folder name");
  }
  if (!SetBoxText(edit, names, timeout, wide)) return reply.Fail("file-name box refused the names");
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(open));
  HWND complaint = nullptr;
  bool closed = WaitUntil(timeout, [&] {
    if (!IsWindow(dialog)) return true;
    complaint = MessageBoxOf(pid, dialog);
    return complaint != nullptr;
  });
  if (complaint) return reply.Fail("file dialog says: " + MessageText(complaint));
  if (!closed) reply.Fail("file dialog is still open");
}

}  // namespace driver
