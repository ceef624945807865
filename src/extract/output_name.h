#pragma once

#include <string>
#include <string_view>

namespace tolvane {

/// A track name from a container, `raw` bytes, as UTF-8 text: the bytes as
/// they are where they are UTF-8, also where a name that fills its field was
/// cut inside its last character (then without that character's bytes);
/// otherwise read as text of a Windows code page (see code_page_text).
std::string track_name_text(std::string_view raw);

/// Turns a track name from a container into a file name that stays inside the
/// output directory and means the same on every platform: control bytes
/// (0x01-0x1F) and / \ : * ? " < > | become '_', and a name that Windows would
/// take for a device gets a '_' in front: one whose part before the first dot,
/// trailing spaces dropped, is CON, PRN, AUX, NUL, COM1-9, LPT1-9, COM or LPT
/// with a superscript digit (¹ ² ³, in UTF-8), CONIN$ or CONOUT$, in any case
/// ("con", "CON.x", "nul .txt", "COM¹"). Every other byte is kept as it is;
/// an empty name stays empty.
std::string sanitize_track_name(std::string_view name);

}  // namespace tolvane
