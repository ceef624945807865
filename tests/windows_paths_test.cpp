// The Windows layer's paths and names: the directories resolved into their
// extended-length form, and track names that are UTF-8 or text of the ANSI
// code page.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "extract/extract.h"
#include "platform/win32_text.h"
#include "support.h"

namespace tolvane {
namespace {

// The two directories the user names are resolved once into the extended
// form that every path handed to the system starts with.
TEST(WindowsPaths, DirectoriesResolveToTheirExtendedFormWithoutTrailingSeparator) {
  std::wstring cwd(MAX_PATH * 4, L'\0');
  cwd.resize(GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
  ASSERT_FALSE(cwd.empty());
  const std::wstring drive = cwd.substr(0, 2);
  const std::pair<std::string, std::wstring> cases[] = {
      {"in", L"\\\\?\\" + cwd + L"\\in"},
      {"in\\", L"\\\\?\\" + cwd + L"\\in"},
      {"in/sub//", L"\\\\?\\" + cwd + L"\\in\\sub"},
      {"C:\\a\\.\\b\\..\\c\\\\d", L"\\\\?\\C:\\a\\c\\d"},
      {"C:\\", L"\\\\?\\C:"},
      {to_utf8(drive) + "x", L"\\\\?\\" + cwd + L"\\x"},  // drive-relative
      {"\\\\server\\share\\dir\\", L"\\\\?\\UNC\\server\\share\\dir"},
      {"\\\\?\\C:\\kept\\.\\as is.\\", L"\\\\?\\C:\\kept\\.\\as is."},
      {"日本語", L"\\\\?\\" + cwd + L"\\日本語"},
  };
  for (const auto& [path, resolved] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(resolve_directory(path), resolved);
  }
  EXPECT_EQ(resolve_directory(""), std::nullopt);
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
      {"\xE6\x97\xA5\xE6\x9C\xAC", "日本.wav"},
      {"caf\xE9", "café.wav"},
      // 42 bytes, the most the field holds, the last character cut in two.
      {"\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5"
       "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xC3\xA9\xE6",
       "日日日日日日日日日日日日日é.wav"}};
  for (const auto& [raw, file] : names) {
    SCOPED_TRACE(file);
    test::write_file(scratch.path() / "in.bin", test::make_container(raw, test::riff_payload(5)));
    const ExtractResult result = test::extract_file(scratch.at("in.bin"), scratch.at("out"));
    EXPECT_EQ(result.output_path, scratch.at("out") + "\\" + file);
    EXPECT_EQ(test::read_file(scratch.path() / "out" / test::fs::u8path(file)),
              test::riff_payload(5));
  }
}

}  // namespace
}  // namespace tolvane
