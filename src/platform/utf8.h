// UTF-8, as the tool judges it: for track names and for the paths it shows.
#pragma once

#include <cstddef>
#include <string_view>

namespace tolvane {

/// The character a piece of text begins with.
struct Utf8Char {
  std::size_t length;  // its bytes; 0 when the text does not begin with UTF-8
  char32_t code;       // the character, once all `length` bytes are there
};

/// Decodes the character at the start of the non-empty `text`. Overlong
/// forms, surrogates and anything past U+10FFFF are not UTF-8. A sequence
/// cut short by the end of `text` has its full length where its bytes so far are valid.
Utf8Char decode_utf8(std::string_view text);

}  // namespace tolvane
