// Track names as text, one source file per platform (track_name_posix.cpp,
// track_name_win32.cpp).
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

/// A track name from a container, `raw` bytes, as UTF-8 text: the bytes as
/// they are where they are UTF-8, and otherwise read as text of a Windows
/// code page, as a program that wrote them there meant them: on Windows the
/// system's ANSI code page, elsewhere Windows-1252, so that a container gets
/// the name it gets on a Western Windows.
std::string track_name_text(std::string_view raw);

}  // namespace tolvane
