#include "platform/utf8.h"

#include <algorithm>

namespace tolvane {

Utf8Char decode_utf8(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    return {1, lead};
  }
  std::size_t length = 0;
  char32_t code = 0;
  unsigned char low = 0x80;  // the range of the second byte, narrowed for some leads
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0FU;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // below: overlong
    high = lead == 0xED ? 0x9F : 0xBF;  // above: surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07U;
    low = lead == 0xF0 ? 0x90 : 0x80;   // below: overlong
    high = lead == 0xF4 ? 0x8F : 0xBF;  // above: past U+10FFFF
  } else {
    return {0, 0};
  }
  for (std::size_t i = 1; i < std::min(length, text.size()); ++i) {
    if (byte(i) < (i == 1 ? low : 0x80) || byte(i) > (i == 1 ? high : 0xBF)) {
      return {0, 0};
    }
    code = (code << 6U) | (byte(i) & 0x3FU);
  }
  return {length, code};
}

}  // namespace tolvane
