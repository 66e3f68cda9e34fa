// lirva-driver: drives a Windows program from outside, as a person at the keyboard
// would. It reads one command per line on standard input and writes exactly one
// reply line per command on standard output (see protocol.h for the syntax and
// commands.h for the commands). Every wait has a timeout, so no command hangs.
#include <windows.h>

#include <string>

#include "commands.h"

namespace driver {
namespace {

void CmdPing(Args&, Reply& reply) { reply.Text("lirva-driver 1"); }

struct CommandEntry {
  const char* name;
  CommandFunction run;
};

constexpr CommandEntry kCommands[] = {
    {"ping", CmdPing},
    {"windows", CmdWindows},     {"find", CmdFind},         {"gone", CmdGone},
    {"children", CmdChildren},   {"state", CmdState},       {"gettext", CmdGetText},
    {"settext", CmdSetText},     {"focus", CmdFocus},       {"foreground", CmdForeground},
    {"activate", CmdActivate},   {"command", CmdCommand},   {"close", CmdClose},
    {"send", CmdSend},           {"post", CmdPost},         {"sync", CmdSync},
    {"click", CmdClick},         {"menu", CmdMenu},         {"key", CmdKey},
    {"type", CmdType},           {"mouse", CmdMouse},       {"rows", CmdRows},
    {"columns", CmdColumns},     {"rowrect", CmdRowRect},   {"count", CmdCount},       {"selected", CmdSelected},
    {"select", CmdSelect},       {"combo", CmdCombo},       {"comboitems", CmdComboItems},
    {"choose", CmdChoose},       {"status", CmdStatus},     {"msgbox", CmdMsgBox},
    {"press", CmdPress},         {"openfile", CmdOpenFile}, {"start", CmdStart},
    {"wait", CmdWait},           {"exitcode", CmdExitCode}, {"kill", CmdKill},
    {"place", CmdPlace},
    {nullptr, nullptr},
};

std::string Run(const std::string& line, bool* quit) {
  Args args;
  Reply reply;
  if (!args.Parse(line)) {
    reply.Fail("malformed line");
    return reply.Line();
  }
  if (args.Name() == "quit") {
    *quit = true;
    return reply.Line();
  }
  for (const CommandEntry* c = kCommands; c->name; ++c) {
    if (args.Name() != c->name) continue;
    c->run(args, reply);
    if (!args.Error().empty()) {
      Reply failed;
      failed.Fail(args.Error());
      return failed.Line();
    }
    return reply.Line();
  }
  reply.Fail("unknown command: " + args.Name());
  return reply.Line();
}

// Standard input as lines; false at its end.
class LineReader {
 public:
  explicit LineReader(HANDLE input) : input_(input) {}
  bool Next(std::string* line) {
    while (true) {
      size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        *line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!line->empty() && line->back() == '\r') line->pop_back();
        return true;
      }
      char chunk[4096];
      DWORD got = 0;
      if (!ReadFile(input_, chunk, sizeof chunk, &got, nullptr) || got == 0) {
        if (pending_.empty()) return false;
        *line = pending_;
        pending_.clear();
        return true;
      }
      pending_.append(chunk, got);
    }
  }

 private:
  HANDLE input_;
  std::string pending_;
};

void WriteLine(HANDLE output, std::string line) {
  line += '\n';
  DWORD written = 0;
  WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  FlushFileBuffers(output);
}

// A fault in the driver ends it at once with a word on standard error, rather than
// leaving a test waiting for a debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  char text[128];
  DWORD written = 0;
  int n = wsprintfA(text, "lirva-driver: exception %08lx at %p\n",
                    info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(n), &written, nullptr);
  ExitProcess(3);
}

}  // namespace
}  // namespace driver

int main() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(driver::ReportCrash);
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  // Programs started by the driver must not hold the test's pipes open.
  SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(GetStdHandle(STD_ERROR_HANDLE), HANDLE_FLAG_INHERIT, 0);
  driver::LineReader reader(input);
  std::string line;
  bool quit = false;
  while (!quit && reader.Next(&line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    driver::WriteLine(output, driver::Run(line, &quit));
  }
  return 0;
}
