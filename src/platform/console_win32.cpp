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

void keep_console_open() {
  // Any other process on the console, such as the shell that started the
  // tool, keeps it open; so does a terminal. Only a console of the tool's own
  // closes with it: started from Explorer, a shortcut or a dropped folder.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) != 1) {
    return;
  }
  // Nobody would read the line, or could answer it, where input or output
  // go elsewhere or the console has no window that a user sees: a hidden
  // console, a pseudo console (ssh, Wine in a Unix terminal), or a service's
  // or scheduled task's desktop.
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  const auto out = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
  DWORD mode = 0;
  const HWND window = GetConsoleWindow();
  USEROBJECTFLAGS station{};
  if (GetConsoleMode(in, &mode) == 0 || GetConsoleMode(out, &mode) == 0 || window == nullptr ||
      IsWindowVisible(window) == 0 ||
      GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &station, sizeof station,
                                nullptr) == 0 ||
      (station.dwFlags & WSF_VISIBLE) == 0) {
    return;
  }
  print("Press any key to close this window.\n");
  FlushConsoleInputBuffer(in);
  for (;;) {
    INPUT_RECORD record{};
    DWORD got = 0;
    if (ReadConsoleInputW(in, &record, 1, &got) == 0 || got == 0) {
      return;
    }
    // A modifier alone, as in Alt+Tab back to the window, is no answer.
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (record.EventType == KEY_EVENT && key.bKeyDown != 0 && key.wVirtualKeyCode != VK_SHIFT &&
        key.wVirtualKeyCode != VK_CONTROL && key.wVirtualKeyCode != VK_MENU) {
      return;
    }
  }
}

}  // namespace tolvane
