#include <cstdio>

#include "platform/console.h"

namespace tolvane {

std::vector<std::string> command_line_arguments(int argc, char* argv[]) {
  return std::vector<std::string>(argv, argv + argc);
}

void print(std::string_view text) {
  // Nothing to be done if standard output itself fails.
  (void)std::fwrite(text.data(), 1, text.size(), stdout);
  (void)std::fflush(stdout);
}

}  // namespace tolvane
