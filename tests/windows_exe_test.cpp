// What the built .exe carries (its manifest, no runtime DLLs to bring along),
// and when it waits for a key before its console closes.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32_text.h"
#include "support.h"

namespace tolvane {
namespace {

TEST(WindowsExe, EmbedsAnAsInvokerManifest) {
  const std::string exe = test::read_file(TOLVANE_TOOL_PATH);
  ASSERT_FALSE(exe.empty());
  EXPECT_NE(exe.find(R"(<requestedExecutionLevel level="asInvoker")"), std::string::npos);
}

TEST(WindowsExe, NeedsNoMinGWRuntimeDlls) {
  const std::string exe = test::read_file(TOLVANE_TOOL_PATH);
  for (const char* dll : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll"}) {
    SCOPED_TRACE(dll);
    EXPECT_EQ(exe.find(dll), std::string::npos);
  }
}

// The tool with no arguments, started with `flags` and its window shown as
// `show`, sharing none of this process's handles.
PROCESS_INFORMATION start_tool(DWORD flags, WORD show) {
  std::wstring command = L"\"" + to_wide(TOLVANE_TOOL_PATH) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION process{};
  EXPECT_NE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                           nullptr, &startup, &process),
            0);
  CloseHandle(process.hThread);
  return process;
}

bool ends_within(const PROCESS_INFORMATION& process, DWORD milliseconds) {
  const bool ended = WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0;
  if (!ended) {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hProcess);
  return ended;
}

// A console of its own that the user sees, as from a double click, keeps its
// window open until a key is pressed; a hidden console, a console without a
// window, or none, never waits. (Shared consoles and redirected output:
// every other test, and trees_under_wine.sh.)
TEST(WindowsExe, WaitsForAKeyOnlyInAConsoleWindowOfItsOwn) {
  EXPECT_TRUE(ends_within(start_tool(CREATE_NEW_CONSOLE, SW_HIDE), 30000));
  EXPECT_TRUE(ends_within(start_tool(CREATE_NO_WINDOW, SW_SHOWNORMAL), 30000));
  EXPECT_TRUE(ends_within(start_tool(DETACHED_PROCESS, SW_SHOWNORMAL), 30000));

  // Wine gives a new console a window only where it has an X display.
  FreeConsole();
  const bool windows = AllocConsole() != 0 && GetConsoleWindow() != nullptr;
  FreeConsole();
  if (!windows) {
    GTEST_SKIP() << "a new console gets no window here (Wine without an X display)";
  }
  // A console of its own: the tool is still there well after its last line.
  // Only then is this process attached, as a second process keeps it from waiting.
  const PROCESS_INFORMATION own = start_tool(CREATE_NEW_CONSOLE, SW_SHOWNORMAL);
  if (WaitForSingleObject(own.hProcess, 5000) != WAIT_TIMEOUT) {
    CloseHandle(own.hProcess);
    FAIL() << "did not wait for a key";
  }
  EXPECT_NE(AttachConsole(own.dwProcessId), 0);
  const HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  INPUT_RECORD key{};
  key.EventType = KEY_EVENT;
  key.Event.KeyEvent = {TRUE, 1, 'X', 0, {L'x'}, 0};
  DWORD put = 0;
  WriteConsoleInputW(in, &key, 1, &put);
  CloseHandle(in);
  FreeConsole();
  EXPECT_TRUE(ends_within(own, 30000));
}

}  // namespace
}  // namespace tolvane
