#include "window_query.h"

namespace driver {

HWND TargetWindow(Args& args, size_t i) {
  HWND window = args.Window(i);
  if (!window || !args.Has("id")) return window;
  long id = args.OptionNumber("id", 0);
  HWND control = GetDlgItem(window, static_cast<int>(id));
  if (!control) args.Fail("no control with id " + std::to_string(id));
  return control;
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string CaptionOf(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs,
                LRESULT* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                           timeoutMs, &answer))
    return false;
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

bool TextOf(HWND window, DWORD timeoutMs, std::string* text) {
  LRESULT length = 0;
  if (!SendWithin(window, WM_GETTEXTLENGTH, 0, 0, timeoutMs, &length)) return false;
  std::vector<char> buffer(static_cast<size_t>(length) + 2, '\0');
  LRESULT copied = 0;
  if (!SendWithin(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                  timeoutMs, &copied))
    return false;
  if (copied < 0 || static_cast<size_t>(copied) >= buffer.size()) copied = 0;
  text->assign(buffer.data(), static_cast<size_t>(copied));
  return true;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

HWND OwnerOf(HWND window) { return GetWindow(window, GW_OWNER); }

bool WindowFilter::Read(Args& args) {
  byClass = args.Has("class");
  className = args.Option("class");
  byCaption = args.Has("caption");
  caption = args.Option("caption");
  byContains = args.Has("contains");
  contains = args.Option("contains");
  pid = static_cast<DWORD>(args.OptionNumber("pid", 0));
  unowned = args.OptionNumber("unowned", 0) != 0;
  visibleOnly = args.OptionNumber("visible", 0) != 0;
  byChild = args.Has("child");
  childId = static_cast<int>(args.OptionNumber("child", 0));
  return args.Error().empty();
}

bool WindowFilter::Matches(HWND window) const {
  if (pid && ProcessOf(window) != pid) return false;
  if (unowned && OwnerOf(window)) return false;
  if (visibleOnly && !IsWindowVisible(window)) return false;
  if (byClass && lstrcmpiA(ClassOf(window).c_str(), className.c_str()) != 0) return false;
  if (byCaption || byContains) {
    std::string text = CaptionOf(window);
    if (byCaption && text != caption) return false;
    if (byContains && text.find(contains) == std::string::npos) return false;
  }
  if (byChild && !GetDlgItem(window, childId)) return false;
  return true;
}

namespace {
BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> all;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND WaitForWindow(const WindowFilter& filter, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(timeoutMs, [&] {
    for (HWND window : TopLevelWindows()) {
      if (filter.Matches(window)) {
        found = window;
        return true;
      }
    }
    return false;
  });
  return found;
}

void DescribeWindow(HWND window, bool asChild, Reply& reply) {
  reply.Handle(window).Text(ClassOf(window)).Text(CaptionOf(window));
  if (asChild)
    reply.Number(GetDlgCtrlID(window));
  else
    reply.Handle(OwnerOf(window));
  reply.Number(IsWindowVisible(window) ? 1 : 0).Number(IsWindowEnabled(window) ? 1 : 0);
  reply.Unsigned(ProcessOf(window));
}

}  // namespace driver

namespace driver {

HWND FocusOfThread(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

bool Activate(HWND target, DWORD timeoutMs, std::string* why) {
  HWND root = GetAncestor(target, GA_ROOT);
  if (!root) root = target;
  if (GetForegroundWindow() != root) {
    SetForegroundWindow(root);
    if (!WaitUntil(timeoutMs, [&] { return GetForegroundWindow() == root; })) {
      *why = "window did not come to the foreground";
      return false;
    }
  }
  if (target == root) return true;
  auto focused = [&] {
    HWND focus = FocusOfThread(root);
    return focus == target || IsChild(target, focus);
  };
  if (focused()) return true;
  // A dialog moves its own focus, which also keeps its default-button logic right.
  SendWithin(root, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE, timeoutMs, nullptr);
  if (WaitUntil(timeoutMs / 4, focused)) return true;
  DWORD theirs = GetWindowThreadProcessId(target, nullptr);
  DWORD mine = GetCurrentThreadId();
  if (AttachThreadInput(mine, theirs, TRUE)) {
    SetFocus(target);
    AttachThreadInput(mine, theirs, FALSE);
  }
  if (WaitUntil(timeoutMs, focused)) return true;
  *why = "control did not take the focus";
  return false;
}

}  // namespace driver
