#include <cerrno>

#include <unistd.h>

#include "platform/console.h"

namespace tolvane {

std::vector<std::string> command_line_arguments(int argc, char* argv[]) {
  return std::vector<std::string>(argv, argv + argc);
}

void print(std::string_view text) {
  // Straight to the descriptor: one write for the whole text, where stdio
  // could split it. Nothing to be done if standard output itself fails.
  while (!text.empty()) {
    const ssize_t put = ::write(STDOUT_FILENO, text.data(), text.size());
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(put));
  }
}

// A terminal outlives the programs run in it.
void keep_console_open() {}

}  // namespace tolvane
