#include <cstdlib>

#include <sys/wait.h>

#include "run_tool.h"
#include "support.h"

namespace tolvane::test {

const char* const kConsoleNewline = "\n";

namespace {

std::string quoted(const std::string& word) {
  std::string out = "'";
  for (const char c : word) {
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return out + "'";
}

}  // namespace

ToolRun run_tool(const std::string& tool, const std::vector<std::string>& args,
                 const std::string& scratch_dir) {
  const std::string out_file = scratch_dir + "/stdout.txt";
  const std::string err_file = scratch_dir + "/stderr.txt";
  std::string command = quoted(tool);
  for (const std::string& arg : args) {
    command += " " + quoted(arg);
  }
  command += " >" + quoted(out_file) + " 2>" + quoted(err_file) + " </dev/null";
  const int status = std::system(command.c_str());
  ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out_file),
              read_file(err_file)};
  fs::remove(out_file);
  fs::remove(err_file);
  return run;
}

}  // namespace tolvane::test
