// Track names as text of a Windows code page, one source file per platform
// (track_name_posix.cpp, track_name_win32.cpp).
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

/// The bytes `raw` of a track name that is not UTF-8, as UTF-8 text of the
/// code page a program that wrote them meant: on Windows the system's ANSI
/// code page, elsewhere Windows-1252, so a name reads as on a Western Windows.
std::string code_page_text(std::string_view raw);

}  // namespace tolvane
