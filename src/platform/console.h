// The console: the program's arguments and standard output, one source file
// per platform (console_posix.cpp, console_win32.cpp). Text is UTF-8 on
// Windows and bytes as they are elsewhere; lines end in '\n' here and reach
// the console or file as the platform ends lines (CR LF on Windows).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

/// The program's arguments, its own name first, as the tool's narrow strings
/// (on Windows taken from the wide command line, so no name is lost to the
/// ANSI code page).
std::vector<std::string> command_line_arguments(int argc, char* argv[]);

/// Writes `text` to standard output at once, with one call to the system
/// where it takes the whole text (a terminal, a pipe, a file, a console
/// window), and nothing kept back in a buffer.
void print(std::string_view text);

}  // namespace tolvane
