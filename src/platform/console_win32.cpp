#include <cstdio>

// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/console.h"
#include "platform/win32_text.h"

namespace tolvane {

std::vector<std::string> command_line_arguments(int argc, char* argv[]) {
  // argv holds the arguments in the ANSI code page, where a name it cannot
  // spell arrives as '?'; the wide command line has them as typed.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(to_utf8(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}

void print(std::string_view text) {
  static const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  static const bool to_console = [] {
    DWORD mode = 0;
    return GetConsoleMode(out, &mode) != 0;
  }();
  if (!to_console) {
    // A file or a pipe gets the UTF-8 bytes; stdout is in text mode, so each
    // line ends in CR LF.
    (void)std::fwrite(text.data(), 1, text.size(), stdout);
    (void)std::fflush(stdout);
    return;
  }
  // The console shows every character whatever its code page, when it is
  // given UTF-16.
  std::wstring wide;
  for (const wchar_t c : to_wide(text)) {
    if (c == L'\n') {
      wide += L'\r';
    }
    wide += c;
  }
  const wchar_t* next = wide.data();
  std::size_t left = wide.size();
  while (left > 0) {
    DWORD written = 0;
    if (WriteConsoleW(out, next, static_cast<DWORD>(left), &written, nullptr) == 0 ||
        written == 0) {
      return;
    }
    next += written;
    left -= written;
  }
}

}  // namespace tolvane
