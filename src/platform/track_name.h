// Track names as text of a Windows code page, one source file per platform.
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

/// The bytes `raw` of a track name that is not UTF-8, as UTF-8 text of the
/// code page meant by a program that wrote them: on Windows the system's
/// ANSI code page, elsewhere Windows-1252, as a Western Windows reads them.
std::string code_page_text(std::string_view raw);

}  // namespace tolvane
