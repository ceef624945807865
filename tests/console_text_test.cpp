// The text rules the console and the track names share: what is UTF-8, and
// how a path that a terminal would act on is shown.
#include <string>

#include <gtest/gtest.h>

#include "platform/console.h"
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

TEST(QuotedPath, PrintableAsItIsElseQuotedWithCEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"in/a b.bin", "in/a b.bin"},
      {"in\\\"x\".bin", "in\\\"x\".bin"},  // nothing to escape: quotes and backslashes stay
      {"\xE6\x97\xA5\xE6\x9C\xAC.bin", "\xE6\x97\xA5\xE6\x9C\xAC.bin"},
      {"in/a\x1B]0;pwned\a\x1B[31mred\nExtracted music from forged.bin",
       R"("in/a\033]0;pwned\a\033[31mred\nExtracted music from forged.bin")"},
      {"\a\b\t\n\v\f\r\x01\x1F", R"("\a\b\t\n\v\f\r\001\037")"},
      {"in\\x\x7F", R"("in\\x\177")"},        // DEL; the separator doubled
      {"\"\xC2\x9B\"", R"("\"\302\233\"")"},  // C1 CSI
      {"\xC2\x9F\xC2\xA0", R"("\302\237)"
                           "\xC2\xA0\""},  // C1's end, and what follows
      {"a\xE2\x80\xAE"
       "gpj.exe",
       R"("a\342\200\256gpj.exe")"},  // right-to-left override
      {"\xD8\x9C\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAA\xE2\x81\xA6\xE2\x81\xA9",
       R"("\330\234\342\200\216\342\200\217\342\200\252\342\201\246\342\201\251")"},
      {"\xE2\x80\xA8\xE2\x80\xA9", R"("\342\200\250\342\200\251")"},  // line, paragraph separator
      {"\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA",            // their neighbours
       "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"},
      {"caf\xE9.bin", R"("caf\351.bin")"},
      {"\xE6\x97", R"("\346\227")"},                    // cut short
      {"\xE6\x97x\xC0\x80", R"("\346\227x\300\200")"},  // invalid, then overlong
  };
  for (const auto& [path, shown] : cases) {
    SCOPED_TRACE(testing::PrintToString(path));
    EXPECT_EQ(quoted_path(path), shown);
  }
}

}  // namespace
}  // namespace tolvane
