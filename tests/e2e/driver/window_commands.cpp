// Commands that find windows and read or set their state.
#include "commands.h"
#include "window_query.h"

#include <vector>

namespace driver {

// windows [filters] -> one record per top-level window:
//   hwnd "class" "caption" owner visible enabled pid
void CmdWindows(Args& args, Reply& reply) {
  WindowFilter filter;
  if (!filter.Read(args)) return;
  bool first = true;
  for (HWND window : TopLevelWindows()) {
    if (!filter.Matches(window)) continue;
    if (!first) reply.NextRecord();
    first = false;
    DescribeWindow(window, false, reply);
  }
}

// find [filters] [timeout=ms] -> hwnd "class" "caption" owner visible enabled pid
void CmdFind(Args& args, Reply& reply) {
  WindowFilter filter;
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!filter.Read(args)) return;
  HWND window = WaitForWindow(filter, timeout);
  if (!window) return reply.Fail("no window matches");
  DescribeWindow(window, false, reply);
}

// gone <hwnd> [timeout=ms] -> ok once the window no longer exists.
void CmdGone(Args& args, Reply& reply) {
  HWND window = args.Handle(0);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!args.Error().empty()) return;
  if (!WaitUntil(timeout, [&] { return !IsWindow(window); }))
    reply.Fail("window still exists");
}

// children <hwnd> -> one record per descendant window:
//   hwnd "class" "text" id visible enabled pid
void CmdChildren(Args& args, Reply& reply) {
  HWND parent = args.Window(0);
  if (!parent) return;
  bool first = true;
  for (HWND child : ChildWindows(parent)) {
    if (!first) reply.NextRecord();
    first = false;
    DescribeWindow(child, true, reply);
  }
}

// state <hwnd> [id=N] -> visible enabled left top right bottom (screen coordinates)
void CmdState(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  if (!window) return;
  RECT r = {};
  GetWindowRect(window, &r);
  reply.Number(IsWindowVisible(window) ? 1 : 0).Number(IsWindowEnabled(window) ? 1 : 0);
  reply.Number(r.left).Number(r.top).Number(r.right).Number(r.bottom);
}

namespace {

// The text through the wide-character messages, as UTF-8 (what a person sees in
// any script, where the 8-bit messages give the ANSI code page's approximation).
bool WideTextOf(HWND window, DWORD timeoutMs, std::string* text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &length)) return false;
  std::vector<wchar_t> buffer(size_t(length) + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, timeoutMs, &copied))
    return false;
  if (copied >= buffer.size()) copied = 0;
  const int n = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), int(copied), nullptr, 0, nullptr, nullptr);
  text->assign(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, buffer.data(), int(copied), &(*text)[0], n, nullptr, nullptr);
  return true;
}

}  // namespace

// gettext <hwnd> [id=N] [wide=1] [timeout=ms] -> "text" (UTF-8 with wide=1)
void CmdGetText(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  const bool wide = args.OptionNumber("wide", 0) != 0;
  if (!window) return;
  std::string text;
  if (!(wide ? WideTextOf(window, timeout, &text) : TextOf(window, timeout, &text)))
    return reply.Fail("window did not answer WM_GETTEXT");
  reply.Text(text);
}

// settext <hwnd> [id=N] "text" [timeout=ms] -> ok. An edit control tells its parent
// with EN_CHANGE, as when the user types.
void CmdSetText(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  std::string text = args.Text(1);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  const bool wide = args.OptionNumber("wide", 0) != 0;
  if (!window || !args.Error().empty()) return;
  LRESULT done = 0;
  if (wide) {
    // UTF-8 in, the wide-character message out.
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::vector<wchar_t> utf16(size_t(n > 0 ? n : 0) + 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), utf16.data(), n);
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(utf16.data()), SMTO_ABORTIFHUNG,
                             timeout, &answer))
      return reply.Fail("window did not answer WM_SETTEXT");
    done = LRESULT(answer);
  } else if (!SendWithin(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), timeout, &done)) {
    return reply.Fail("window did not answer WM_SETTEXT");
  }
  if (!done) reply.Fail("window refused the text");
}

// focus <hwnd> -> hwnd id "class" of the focused window of that window's thread
// (0x0 0 "" when none).
void CmdFocus(Args& args, Reply& reply) {
  HWND window = args.Window(0);
  if (!window) return;
  HWND focus = FocusOfThread(window);
  reply.Handle(focus).Number(focus ? GetDlgCtrlID(focus) : 0);
  reply.Text(focus ? ClassOf(focus) : std::string());
}

// foreground -> hwnd "class" "caption" owner visible enabled pid (0x0 alone when none)
void CmdForeground(Args& args, Reply& reply) {
  HWND window = GetForegroundWindow();
  if (!window) {
    reply.Handle(nullptr);
    return;
  }
  DescribeWindow(window, false, reply);
}

// activate <hwnd> [id=N] [timeout=ms] -> ok once the window is in front (and the
// control has the focus).
void CmdActivate(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!window) return;
  std::string why;
  if (!Activate(window, timeout, &why)) reply.Fail(why);
}

// place <hwnd> x y width height -> ok: moves and sizes a top-level window as a
// person dragging its frame would (SetWindowPos from this process).
void CmdPlace(Args& args, Reply& reply) {
  HWND window = args.Window(0);
  if (!window) return;
  const int x = int(args.Number(1)), y = int(args.Number(2)), w = int(args.Number(3)), h = int(args.Number(4));
  if (!args.Error().empty()) return;
  if (!SetWindowPos(window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE)) reply.Fail("SetWindowPos failed");
}

}  // namespace driver
