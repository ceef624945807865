// Track names on Linux: UTF-8 as it is, anything else read as Windows-1252,
// as a Western Windows reads it, so the name is text every file system takes.
#include <string>

#include <gtest/gtest.h>

#include "extract/output_name.h"

namespace tolvane {
namespace {

std::string times(int count, const std::string& text) {
  std::string repeated;
  for (int i = 0; i < count; ++i) {
    repeated += text;
  }
  return repeated;
}

TEST(TrackNameText, Utf8StaysElseWindows1252) {
  const std::pair<std::string, std::string> names[] = {
      {"plain", "plain"},
      {"\xC3\xBC-utf8 \xE6\x97\xA5\xF0\x9F\x8E\xB5", "\xC3\xBC-utf8 \xE6\x97\xA5\xF0\x9F\x8E\xB5"},
      {"\xFC-latin1", "\xC3\xBC-latin1"},
      {"\x80\xC3", "\xE2\x82\xAC\xC3\x83"},  // not UTF-8 as a whole: every byte is 1252
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined in 1252
      {"\x9F\xA0\xFF", "\xC5\xB8\xC2\xA0\xC3\xBF"},
      // Overlong, surrogate and past U+10FFFF: not UTF-8.
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
      {"\xE6\x97", "\xC3\xA6\xE2\x80\x94"},  // cut short
      {"caf\xE9", "caf\xC3\xA9"},
      // A name of 42 bytes, the most its field holds, may end in a character
      // cut in two: UTF-8 before it makes it the UTF-8 it was, up to the cut.
      {times(13, "\xE6\x97\xA5") + "\xC3\xA9\xE6", times(13, "\xE6\x97\xA5") + "\xC3\xA9"},
      {times(10, "\xF0\x9F\x8E\xB5") + "\xF0\x9F", times(10, "\xF0\x9F\x8E\xB5")},
      {times(41, "a") + "\xE9", times(41, "a") + "\xC3\xA9"},  // no UTF-8 before the cut
      {times(13, "\xE6\x97\xA5") + "\xE6\x97",                 // 41 bytes: not cut by the field
       times(13, "\xC3\xA6\xE2\x80\x94\xC2\xA5") + "\xC3\xA6\xE2\x80\x94"},
      {"\xFC-" + times(12, "\xE6\x97\xA5") + "\xC3\xA9\xE6\x97",  // not UTF-8 before the cut
       "\xC3\xBC-" + times(12, "\xC3\xA6\xE2\x80\x94\xC2\xA5") +
           "\xC3\x83\xC2\xA9\xC3\xA6\xE2\x80\x94"},
  };
  for (const auto& [raw, text] : names) {
    SCOPED_TRACE(testing::PrintToString(raw));
    EXPECT_EQ(track_name_text(raw), text);
  }
}

}  // namespace
}  // namespace tolvane
