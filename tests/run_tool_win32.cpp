#include <windows.h>

#include "platform/win32_text.h"
#include "run_tool.h"
#include "support.h"

namespace tolvane::test {

const char* const kConsoleNewline = "\r\n";

namespace {

// Quotes one argument the way the C runtime splits a command line.
std::string quoted(const std::string& word) {
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (const char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

HANDLE create_inheritable(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(to_wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ToolRun run_tool(const std::string& tool, const std::vector<std::string>& args,
                 const std::string& scratch_dir) {
  const std::string out_file = scratch_dir + "\\stdout.txt";
  const std::string err_file = scratch_dir + "\\stderr.txt";
  std::string command = quoted(tool);
  for (const std::string& arg : args) {
    command += " " + quoted(arg);
  }
  std::wstring wide_command = to_wide(command);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = create_inheritable(out_file);
  startup.hStdError = create_inheritable(err_file);
  PROCESS_INFORMATION process{};
  DWORD exit_code = static_cast<DWORD>(-1);
  if (CreateProcessW(nullptr, wide_command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process) != 0) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  ToolRun run{static_cast<int>(exit_code), read_file(fs::u8path(out_file)),
              read_file(fs::u8path(err_file))};
  fs::remove(fs::u8path(out_file));
  fs::remove(fs::u8path(err_file));
  return run;
}

}  // namespace tolvane::test
