// Commands that hand messages to windows of another process.
#include "commands.h"
#include "window_query.h"

namespace driver {
namespace {

void Deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Args& args, Reply& reply) {
  if (args.OptionNumber("send", 0)) {
    DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
    LRESULT result = 0;
    if (!SendWithin(window, message, wParam, lParam, timeout, &result))
      return reply.Fail("window did not answer in time");
    reply.Number(static_cast<long long>(result));
    return;
  }
  if (!PostMessageA(window, message, wParam, lParam)) reply.Fail("PostMessage failed");
}

}  // namespace

// command <hwnd> <id> [code=N] [lparam=N] [send=1 [timeout=ms]] -> ok [result]
// WM_COMMAND as a control, a menu (code 0) or an accelerator (code 1) sends it; lParam
// is the control of that id when the window has one. Posted unless send=1, so that a
// command that opens a modal window does not hold the driver.
void CmdCommand(Args& args, Reply& reply) {
  HWND window = args.Window(0);
  long id = args.Number(1);
  long code = args.OptionNumber("code", 0);
  if (!args.Error().empty()) return;
  LPARAM control = reinterpret_cast<LPARAM>(GetDlgItem(window, static_cast<int>(id)));
  LPARAM lParam = static_cast<LPARAM>(args.OptionNumber("lparam", static_cast<long>(control)));
  if (!args.Error().empty()) return;
  Deliver(window, WM_COMMAND, MAKEWPARAM(id, code), lParam, args, reply);
}

// close <hwnd> -> ok (WM_CLOSE posted)
void CmdClose(Args& args, Reply& reply) {
  HWND window = args.Window(0);
  if (!window) return;
  if (!PostMessageA(window, WM_CLOSE, 0, 0)) reply.Fail("PostMessage failed");
}

// send <hwnd> <message> [wparam] [lparam] [id=N] [timeout=ms] -> result
void CmdSend(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  long message = args.Number(1);
  long long wParam = args.Count() > 2 ? args.Number(2) : 0;
  long long lParam = args.Count() > 3 ? args.Number(3) : 0;
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!window || !args.Error().empty()) return;
  LRESULT result = 0;
  if (!SendWithin(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                  static_cast<LPARAM>(lParam), timeout, &result))
    return reply.Fail("window did not answer in time");
  reply.Number(static_cast<long long>(result));
}

// post <hwnd> <message> [wparam] [lparam] [id=N] -> ok
void CmdPost(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  long message = args.Number(1);
  long long wParam = args.Count() > 2 ? args.Number(2) : 0;
  long long lParam = args.Count() > 3 ? args.Number(3) : 0;
  if (!window || !args.Error().empty()) return;
  if (!PostMessageA(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                    static_cast<LPARAM>(lParam)))
    reply.Fail("PostMessage failed");
}

// sync <hwnd> [timeout=ms] -> ok once the window's thread has served a sent message,
// that is, it is back in its message loop.
void CmdSync(Args& args, Reply& reply) {
  HWND window = args.Window(0);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!window) return;
  if (!SendWithin(window, WM_NULL, 0, 0, timeout, nullptr)) reply.Fail("window is busy");
}

// click <hwnd> [id=N] -> ok. Clicks a button as the user does (BM_CLICK, posted);
// refuses a button that the user could not click.
void CmdClick(Args& args, Reply& reply) {
  HWND button = TargetWindow(args, 0);
  if (!button) return;
  if (!IsWindowVisible(button)) return reply.Fail("button is hidden");
  if (!IsWindowEnabled(button)) return reply.Fail("button is disabled");
  if (!PostMessageA(button, BM_CLICK, 0, 0)) reply.Fail("PostMessage failed");
}

// menu <hwnd> <id> -> enabled checked "text" of the menu-bar item with that command id
void CmdMenu(Args& args, Reply& reply) {
  HWND window = args.Window(0);
  long id = args.Number(1);
  if (!args.Error().empty()) return;
  HMENU menu = GetMenu(window);
  if (!menu) return reply.Fail("window has no menu bar");
  // Wine keeps menus inside their own process: from outside they cannot be read.
  if (GetMenuItemCount(menu) < 0) return reply.Fail("menu of another process cannot be read");
  UINT state = GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND);
  if (state == static_cast<UINT>(-1)) return reply.Fail("menu item not found");
  char text[256] = "";
  GetMenuStringA(menu, static_cast<UINT>(id), text, sizeof text, MF_BYCOMMAND);
  reply.Number((state & (MF_GRAYED | MF_DISABLED)) ? 0 : 1).Number((state & MF_CHECKED) ? 1 : 0);
  reply.Text(text);
}

}  // namespace driver
