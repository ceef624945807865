// Runs the built tool as a user would, for the black-box tests.
#pragma once

#include <string>
#include <vector>

namespace tolvane::test {

struct ToolRun {
  int exit_status;
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error, byte for byte
};

/// Line end as the console gets it: "\r\n" on Windows, "\n" elsewhere.
extern const char* const kConsoleNewline;

/// Runs `tool` with `args`, its output caught in files under `scratch_dir`.
ToolRun run_tool(const std::string& tool, const std::vector<std::string>& args,
                 const std::string& scratch_dir);

}  // namespace tolvane::test
