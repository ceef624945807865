#include <cstdio>

#include <io.h>

// shellapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/console.h"
#include "platform/win32_text.h"

namespace tolvane {
namespace {

// Hands `size` units from `data` to `write` until all are taken, or it fails
// or takes none: then the rest is lost, as nothing can be done about it.
template <typename Unit, typename Write>
void write_whole(const Unit* data, std::size_t size, Write write) {
  while (size > 0) {
    DWORD put = 0;
    if (!write(data, static_cast<DWORD>(size), &put) || put == 0) {
      return;
    }
    data += put;
    size -= put;
  }
}

}  // namespace

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
  // Lines end in CR LF on Windows, in a console window and in a file alike.
  std::string bytes;
  for (const char c : text) {
    if (c == '\n') {
      bytes += '\r';
    }
    bytes += c;
  }
  // Asked every time rather than kept: the C runtime's standard output can
  // be pointed elsewhere (the tests catch it that way).
  const auto out = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode) == 0) {
    // A file or a pipe gets the UTF-8 bytes.
    write_whole(bytes.data(), bytes.size(), [out](const char* next, DWORD size, DWORD* put) {
      return WriteFile(out, next, size, put, nullptr) != 0;
    });
    return;
  }
  // The console shows every character whatever its code page, given UTF-16.
  const std::wstring wide = to_wide(bytes);
  write_whole(wide.data(), wide.size(), [out](const wchar_t* next, DWORD size, DWORD* put) {
    return WriteConsoleW(out, next, size, put, nullptr) != 0;
  });
}

}  // namespace tolvane
