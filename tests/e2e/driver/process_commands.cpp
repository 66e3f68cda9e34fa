// Commands that start, watch and end processes. The driver starts the program under
// test itself, so that the test knows its Windows process id.
#include <map>

#include "commands.h"
#include "window_query.h"

namespace driver {
namespace {

// Processes this driver started, by id; their handles stay open so that the exit
// code can still be read after they ended.
std::map<DWORD, HANDLE>& Started() {
  static std::map<DWORD, HANDLE> started;
  return started;
}

HANDLE ProcessHandle(DWORD pid) {
  auto known = Started().find(pid);
  if (known != Started().end()) return known->second;
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  if (process) Started()[pid] = process;
  return process;
}

HANDLE OpenForChild(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  if (path.empty())
    return CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, OPEN_EXISTING, 0, nullptr);
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, 0, nullptr);
}

// Sets the variables for the child and remembers the old values.
class EnvironmentChange {
 public:
  explicit EnvironmentChange(const std::vector<std::string>& assignments) {
    for (const std::string& a : assignments) {
      size_t eq = a.find('=');
      if (eq == std::string::npos || eq == 0) continue;
      std::string name = a.substr(0, eq);
      char old[4096];
      DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
      saved_.push_back({name, std::string(old, n < sizeof old ? n : 0), n > 0 && n < sizeof old});
      SetEnvironmentVariableA(name.c_str(), a.c_str() + eq + 1);
    }
  }
  ~EnvironmentChange() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      SetEnvironmentVariableA(it->name.c_str(), it->existed ? it->value.c_str() : nullptr);
  }

 private:
  struct Saved {
    std::string name, value;
    bool existed;
  };
  std::vector<Saved> saved_;
};

}  // namespace

// start "command line" [cwd="C:\\dir"] [env="NAME=value"]... [output="Z:\\file"] -> pid
// The child's standard handles go to NUL, or both output handles to `output`.
void CmdStart(Args& args, Reply& reply) {
  std::string commandLine = args.Text(0);
  std::string cwd = args.Option("cwd");
  if (!args.Error().empty()) return;
  HANDLE input = OpenForChild("");
  HANDLE output = OpenForChild(args.Option("output"));
  if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) {
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return reply.Fail("cannot open the child's standard handles");
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION info = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  BOOL started;
  {
    EnvironmentChange env(args.Options("env"));
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             cwd.empty() ? nullptr : cwd.c_str(), &startup, &info);
  }
  DWORD error = GetLastError();
  CloseHandle(input);
  CloseHandle(output);
  if (!started) return reply.Fail("CreateProcess failed with error " + std::to_string(error));
  CloseHandle(info.hThread);
  Started()[info.dwProcessId] = info.hProcess;
  reply.Unsigned(info.dwProcessId);
}

// wait <pid> [timeout=ms] -> exit code, once the process has ended
void CmdWait(Args& args, Reply& reply) {
  DWORD pid = static_cast<DWORD>(args.Number(0));
  DWORD timeout = static_cast<DWORD>(args.OptionNumber("timeout", kDefaultTimeoutMs));
  if (!args.Error().empty()) return;
  HANDLE process = ProcessHandle(pid);
  if (!process) return reply.Fail("no such process");
  if (WaitForSingleObject(process, timeout) != WAIT_OBJECT_0) return reply.Fail("process still runs");
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  reply.Unsigned(code);
}

// exitcode <pid> -> "running" | exited <code>
void CmdExitCode(Args& args, Reply& reply) {
  DWORD pid = static_cast<DWORD>(args.Number(0));
  if (!args.Error().empty()) return;
  HANDLE process = ProcessHandle(pid);
  if (!process) return reply.Fail("no such process");
  if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
    reply.Text("running");
    return;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  reply.Text("exited").Unsigned(code);
}

// kill <pid> [code=N] -> ok once the process has ended
void CmdKill(Args& args, Reply& reply) {
  DWORD pid = static_cast<DWORD>(args.Number(0));
  UINT code = static_cast<UINT>(args.OptionNumber("code", 1));
  if (!args.Error().empty()) return;
  HANDLE process = ProcessHandle(pid);
  if (!process) return reply.Fail("no such process");
  if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return;
  TerminateProcess(process, code);
  if (WaitForSingleObject(process, kDefaultTimeoutMs) != WAIT_OBJECT_0) reply.Fail("process did not end");
}

}  // namespace driver
