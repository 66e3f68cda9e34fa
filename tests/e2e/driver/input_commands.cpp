// Keyboard and mouse input as a person gives it: SendInput to the foreground window.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "window_query.h"

namespace driver {
namespace {

struct KeyName {
  const char* name;
  WORD key;
  bool extended;  // the grey keys, told apart from the numeric keypad's
};

constexpr KeyName kKeyNames[] = {
    {"enter", VK_RETURN, false},    {"return", VK_RETURN, false}, {"escape", VK_ESCAPE, false},
    {"esc", VK_ESCAPE, false},      {"tab", VK_TAB, false},       {"space", VK_SPACE, false},
    {"backspace", VK_BACK, false},  {"back", VK_BACK, false},     {"delete", VK_DELETE, true},
    {"del", VK_DELETE, true},       {"insert", VK_INSERT, true},  {"ins", VK_INSERT, true},
    {"home", VK_HOME, true},        {"end", VK_END, true},        {"pageup", VK_PRIOR, true},
    {"pgup", VK_PRIOR, true},       {"pagedown", VK_NEXT, true},  {"pgdn", VK_NEXT, true},
    {"up", VK_UP, true},            {"down", VK_DOWN, true},      {"left", VK_LEFT, true},
    {"right", VK_RIGHT, true},      {"plus", VK_OEM_PLUS, false}, {"minus", VK_OEM_MINUS, false},
    {"comma", VK_OEM_COMMA, false}, {"period", VK_OEM_PERIOD, false},
    {"apps", VK_APPS, true},        {"pause", VK_PAUSE, false},
    {nullptr, 0, false},
};

struct Chord {
  bool ctrl = false, alt = false, shift = false;
  WORD key = 0;
  bool extended = false;
};

bool LookUpKey(const std::string& name, Chord* chord) {
  for (const KeyName* k = kKeyNames; k->name; ++k) {
    if (name == k->name) {
      chord->key = k->key;
      chord->extended = k->extended;
      return true;
    }
  }
  if (name.size() == 1 && isalnum(static_cast<unsigned char>(name[0]))) {
    chord->key = static_cast<WORD>(toupper(static_cast<unsigned char>(name[0])));
    return true;
  }
  if (name.size() >= 2 && name[0] == 'f' && isdigit(static_cast<unsigned char>(name[1]))) {
    int n = atoi(name.c_str() + 1);
    if (n >= 1 && n <= 24) {
      chord->key = static_cast<WORD>(VK_F1 + n - 1);
      return true;
    }
  }
  if (name.size() > 2 && name[0] == 'v' && name[1] == 'k') {  // vk<number>: any key code
    long long code = 0;
    if (ParseNumber(name.substr(2), &code) && code > 0 && code < 256) {
      chord->key = static_cast<WORD>(code);
      return true;
    }
  }
  return false;
}

// "ctrl+shift+f9" -> the chord; false for an unknown name.
bool ParseChord(const std::string& text, Chord* chord) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(tolower(static_cast<unsigned char>(c)));
  size_t start = 0;
  while (true) {
    size_t plus = lower.find('+', start);
    std::string part = lower.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
    if (plus == std::string::npos) return LookUpKey(part, chord);
    if (part == "ctrl" || part == "control") chord->ctrl = true;
    else if (part == "alt") chord->alt = true;
    else if (part == "shift") chord->shift = true;
    else return false;
    start = plus + 1;
  }
}

INPUT KeyInput(WORD key, bool up, bool extended) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = key;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
  return in;
}

void AddChord(const Chord& chord, std::vector<INPUT>* inputs) {
  if (chord.ctrl) inputs->push_back(KeyInput(VK_CONTROL, false, false));
  if (chord.alt) inputs->push_back(KeyInput(VK_MENU, false, false));
  if (chord.shift) inputs->push_back(KeyInput(VK_SHIFT, false, false));
  inputs->push_back(KeyInput(chord.key, false, chord.extended));
  inputs->push_back(KeyInput(chord.key, true, chord.extended));
  if (chord.shift) inputs->push_back(KeyInput(VK_SHIFT, true, false));
  if (chord.alt) inputs->push_back(KeyInput(VK_MENU, true, false));
  if (chord.ctrl) inputs->push_back(KeyInput(VK_CONTROL, true, false));
}

// A character the keyboard layout cannot type travels as a Unicode packet.
// A UTF-16 unit as a person would type it: a key of the keyboard layout when it
// has one (with Shift), otherwise as a character of its own (VK_PACKET), as an
// input method delivers text in any script.
void AddUnit(WCHAR unit, std::vector<INPUT>* inputs) {
  if (unit == L'\n') return AddChord(Chord{false, false, false, VK_RETURN, false}, inputs);
  SHORT scan = VkKeyScanW(unit);
  if (scan != -1 && (HIBYTE(scan) & ~1) == 0) {
    Chord chord;
    chord.key = LOBYTE(scan);
    chord.shift = (HIBYTE(scan) & 1) != 0;
    return AddChord(chord, inputs);
  }
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wScan = unit;
  in.ki.dwFlags = KEYEVENTF_UNICODE;
  inputs->push_back(in);
  in.ki.dwFlags |= KEYEVENTF_KEYUP;
  inputs->push_back(in);
}

// A character of the ANSI code page, typed as its UTF-16 unit.
void AddCharacter(char c, std::vector<INPUT>* inputs) {
  WCHAR wide[2] = {};
  MultiByteToWideChar(CP_ACP, 0, &c, 1, wide, 2);
  AddUnit(wide[0], inputs);
}

bool Send(std::vector<INPUT>& inputs, Reply& reply) {
  if (inputs.empty()) return true;
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) {
    reply.Fail("SendInput delivered " + std::to_string(sent) + " of " +
               std::to_string(inputs.size()) + " events");
    return false;
  }
  return true;
}

}  // namespace

// key <hwnd> [id=N] <chord>... -> ok. A chord is a key name with modifiers, such as
// ctrl+n, f9, ctrl+delete, escape, alt+f4, shift+tab, vk0x41.
void CmdKey(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!window || !args.Error().empty()) return;
  if (args.Count() < 2) return reply.Fail("no keys given");
  std::vector<INPUT> inputs;
  for (size_t i = 1; i < args.Count(); ++i) {
    Chord chord;
    if (!ParseChord(args.Word(i), &chord)) return reply.Fail("unknown key: " + args.Word(i));
    AddChord(chord, &inputs);
  }
  std::string why;
  if (!Activate(window, timeout, &why)) return reply.Fail(why);
  Send(inputs, reply);
}

// type <hwnd> [id=N] [wide=1] "text" -> ok. Types the text key by key into the window
// (or its control), which must take the focus first. With `wide` the text is UTF-8
// and may hold any script.
void CmdType(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  std::string text = args.Text(1);
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  const bool wide = args.OptionNumber("wide", 0) != 0;
  if (!window || !args.Error().empty()) return;
  std::vector<INPUT> inputs;
  if (wide) {
    std::vector<WCHAR> units(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), units.data(),
                                      int(units.size()));
    if (n <= 0 && !text.empty()) return reply.Fail("text is not UTF-8");
    for (int i = 0; i < n; ++i) AddUnit(units[size_t(i)], &inputs);
  } else {
    for (char c : text) AddCharacter(c, &inputs);
  }
  std::string why;
  if (!Activate(window, timeout, &why)) return reply.Fail(why);
  Send(inputs, reply);
}

// mouse <hwnd> [id=N] <x> <y> [button=left|right] [double=1] -> ok. Clicks at a point
// of the window's client area.
void CmdMouse(Args& args, Reply& reply) {
  HWND window = TargetWindow(args, 0);
  POINT at = {static_cast<LONG>(args.Number(1)), static_cast<LONG>(args.Number(2))};
  std::string button = args.Option("button", "left");
  bool twice = args.OptionNumber("double", 0) != 0;
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!window || !args.Error().empty()) return;
  if (button != "left" && button != "right") return reply.Fail("button is left or right");
  std::string why;
  if (!Activate(GetAncestor(window, GA_ROOT), timeout, &why)) return reply.Fail(why);
  ClientToScreen(window, &at);
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT move = {};
  move.type = INPUT_MOUSE;
  move.mi.dx = static_cast<LONG>((at.x * 65536 + width / 2) / width);
  move.mi.dy = static_cast<LONG>((at.y * 65536 + height / 2) / height);
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  std::vector<INPUT> inputs = {move};
  DWORD down = button == "left" ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
  DWORD up = button == "left" ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
  for (int i = 0; i < (twice ? 2 : 1); ++i) {
    INPUT press = {};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = down;
    inputs.push_back(press);
    press.mi.dwFlags = up;
    inputs.push_back(press);
  }
  Send(inputs, reply);
}

}  // namespace driver
