// The program's arguments and standard output, one source file per platform,
// and how paths are shown on it, the same on every platform. Text is UTF-8
// on Windows and bytes as they are elsewhere; lines end in '\n' here, and in
// what the platform ends lines with on the console.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

/// The program's arguments, its own name first, as the tool's narrow strings.
std::vector<std::string> command_line_arguments(int argc, char* argv[]);

/// Writes `text` to standard output at once, in one call to the system
/// where it takes it whole; nothing is kept back in a buffer.
void print(std::string_view text);

/// `path` as a console line shows it: as it is when a terminal prints all of
/// it; otherwise in double quotes, with control, line-breaking and
/// bidirectional characters and bytes that are not UTF-8 as C escapes.
std::string quoted_path(std::string_view path);

/// Waits for a key, after a line that asks for one, where the console closes
/// as the tool ends and nothing else reads it: a console window of the tool's
/// own, as from a double click. Does nothing in every other case.
void keep_console_open();

}  // namespace tolvane
