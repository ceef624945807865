#pragma once

#include <string>
#include <string_view>

namespace tolvane {

/// A track name, `raw` bytes from a container, as UTF-8 text: as it is where
/// it is UTF-8, also when its full field cut its last character (then without
/// that character); otherwise read as code page text (code_page_text).
std::string track_name_text(std::string_view raw);

/// A track name made a file name that stays in the output directory and
/// means the same on every platform: control bytes and / \ : * ? " < > |
/// become '_', and a name Windows takes for a device ("con", "CON.x",
/// "nul .txt", "COM¹") gets a '_' in front.
std::string sanitize_track_name(std::string_view name);

}  // namespace tolvane
