// The Windows layer's paths and names: extended-length paths, and track names
// that are UTF-8 or text of the ANSI code page.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "extract/extract.h"
#include "platform/win32_text.h"
#include "support.h"

namespace tolvane {
namespace {

TEST(WindowsPaths, LongPathsGoToTheSystemInExtendedForm) {
  std::wstring cwd(MAX_PATH * 4, L'\0');
  cwd.resize(GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
  ASSERT_FALSE(cwd.empty());
  const std::string name(260, 'n');
  const std::wstring wide_name(260, L'n');

  // Short paths go as they are, relative or not, doubled separators and all.
  for (const char* plain :
       {"in\\a.bin", "C:x", "\\\\server\\share\\a", "out\\\\x.wav", "入力\\a"}) {
    SCOPED_TRACE(plain);
    EXPECT_EQ(system_path(plain), to_wide(plain));
  }
  EXPECT_EQ(system_path("sub\\" + name), L"\\\\?\\" + cwd + L"\\sub\\" + wide_name);
  EXPECT_EQ(system_path("C:\\a\\.\\b\\..\\c\\\\" + name), L"\\\\?\\C:\\a\\c\\" + wide_name);
  // Drive-relative: against the current directory of that drive.
  EXPECT_EQ(system_path(to_utf8(cwd.substr(0, 2)) + name), L"\\\\?\\" + cwd + L"\\" + wide_name);
  EXPECT_EQ(system_path("\\\\server\\share\\" + name), L"\\\\?\\UNC\\server\\share\\" + wide_name);
  EXPECT_EQ(system_path("\\\\?\\C:\\" + name), L"\\\\?\\C:\\" + wide_name);
  EXPECT_EQ(system_path("日本語\\" + name), L"\\\\?\\" + cwd + L"\\日本語\\" + wide_name);
}

// The test runs pin Wine's ANSI code page to 1252 (LANG=C.UTF-8, see wine-run).
TEST(WindowsNames, TrackNameBytesAreUtf8ElseAnsiCodePageText) {
  ASSERT_EQ(GetACP(), 1252U);
  test::ScratchDir scratch;
  test::fs::create_directory(scratch.path() / "out");
  const std::pair<std::string, std::string> names[] = {
      {"\xC3\xBC-utf8", "ü-utf8.wav"},
      {"\xFC-cp1252", "ü-cp1252.wav"},
      {"\x80\xC3", "€Ã.wav"},  // not UTF-8 as a whole: every byte is code page text
      {"\xE6\x97\xA5\xE6\x9C\xAC", "日本.wav"}};
  for (const auto& [raw, file] : names) {
    SCOPED_TRACE(file);
    test::write_file(scratch.path() / "in.bin", test::make_container(raw, test::riff_payload(5)));
    const ExtractResult result = extract_track(scratch.at("in.bin"), scratch.at("out"));
    EXPECT_EQ(result.output_path, scratch.at("out") + "\\" + file);
    EXPECT_EQ(test::read_file(scratch.path() / "out" / test::fs::u8path(file)),
              test::riff_payload(5));
  }
}

}  // namespace
}  // namespace tolvane
