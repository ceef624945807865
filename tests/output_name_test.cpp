#include "extract/output_name.h"

#include <string>

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(SanitizeTrackName, ReplacesSeparatorsControlBytesAndRefusedCharacters) {
  EXPECT_EQ(sanitize_track_name("../../etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(sanitize_track_name(R"(C:\Windows\x)"), "C__Windows_x");
  EXPECT_EQ(sanitize_track_name(R"(a*b?c"d<e>f|g)"), "a_b_c_d_e_f_g");
  EXPECT_EQ(sanitize_track_name("tab\there\x01\x1F"), "tab_here__");
  EXPECT_EQ(sanitize_track_name(std::string("\x7F\x80\xFF", 3)), std::string("\x7F\x80\xFF", 3));
  EXPECT_EQ(sanitize_track_name("Boss Battle (Remix) #2"), "Boss Battle (Remix) #2");
  EXPECT_EQ(sanitize_track_name(""), "");
  EXPECT_EQ(sanitize_track_name(".."), "..");
}

TEST(SanitizeTrackName, PrefixesWindowsDeviceNamesInAnyCaseAndDress) {
  for (const char* device :
       {"CON",        "prn",        "Aux",  "nul",  "COM1",    "com9",   "LPT1",     "lpt9",
        "CONIN$",     "conout$",    "CON.", "nul ", "COM1. .", "Aux...", "CON.x",    "nul .txt",
        "Com1.remix", "lpt9 . x.y", "COM¹", "com²", "LPT³",    "lpt¹.x", "COM² .txt"}) {
    SCOPED_TRACE(device);
    EXPECT_EQ(sanitize_track_name(device), std::string("_") + device);
  }
  for (const char* ordinary : {"CONSOLE", "COM0", "COM10", "LPT", "NUL1", " CON", "x.CON", "xnul",
                               "CON_.x", "COM⁴", "COM¹¹", "COM\xC2"}) {
    SCOPED_TRACE(ordinary);
    EXPECT_EQ(sanitize_track_name(ordinary), ordinary);
  }
}

}  // namespace
}  // namespace tolvane
