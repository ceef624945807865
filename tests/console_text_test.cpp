// The text rules the console and the track names share: what is UTF-8.
#include <string>

#include <gtest/gtest.h>

#include "platform/utf8.h"

namespace tolvane {
namespace {

TEST(DecodeUtf8, AcceptsExactlyTheValidRanges) {
  const struct {
    std::string bytes;
    std::size_t length;
    char32_t code;
  } cases[] = {
      {"A", 1, U'A'},
      {"\x7F", 1, 0x7F},
      // Each bound from both sides.
      {"\xC0\x80", 0, 0},           // overlong
      {"\xC1\xBF", 0, 0},           // overlong
      {"\xC2\x80", 2, 0x80},        // the first of two bytes
      {"\xDF\xBF", 2, 0x7FF},       // the last of two bytes
      {"\xE0\x80\x80", 0, 0},       // overlong
      {"\xE0\x9F\xBF", 0, 0},       // overlong
      {"\xE0\xA0\x80", 3, 0x800},   // the first of three bytes
      {"\xE1\x80\x80", 3, 0x1000},  // the second byte's range, past E0
      {"\xE4\xBF\xBF", 3, 0x4FFF},  // a second byte of BF
      {"\xE6\x7F\x80", 0, 0},
      {"\xE6\xC0\x80", 0, 0},
      {"\xED\x9F\xBF", 3, 0xD7FF},       // the last before the surrogates
      {"\xED\xA0\x80", 0, 0},            // a surrogate
      {"\xEF\xBF\xBF", 3, 0xFFFF},       // the last of three bytes
      {"\xF0\x80\x80\x80", 0, 0},        // overlong
      {"\xF0\x8F\xBF\xBF", 0, 0},        // overlong
      {"\xF0\x90\x80\x80", 4, 0x10000},  // the first of four bytes
      {"\xF1\x80\x80\x80", 4, 0x40000},  // the second byte's range, past F0
      {"\xF3\xBF\xBF\xBF", 4, 0xFFFFF},
      {"\xF1\x7F\x80\x80", 0, 0},
      {"\xF1\xC0\x80\x80", 0, 0},
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},  // the last there is
      {"\xF4\x90\x80\x80", 0, 0},         // past it
      {"\xF5\x80\x80\x80", 0, 0},         // no such lead
      // Continuation bytes: 80 to BF, and nowhere else.
      {"\x80", 0, 0},
      {"\xC2\x7F", 0, 0},
      {"\xC2\xC0", 0, 0},
      {"\xE6\x97\x7F", 0, 0},
      {"\xE6\x97\xC0", 0, 0},
      {"\xE6\x97", 3, 0},  // cut short, valid so far
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    const Utf8Char got = decode_utf8(c.bytes);
    EXPECT_EQ(got.length, c.length);
    if (c.length != 0 && c.length <= c.bytes.size()) {
      EXPECT_EQ(got.code, c.code);
    }
  }
}

}  // namespace
}  // namespace tolvane
