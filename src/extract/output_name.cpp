#include "extract/output_name.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "extract/container.h"
#include "platform/track_name.h"

namespace tolvane {
namespace {

constexpr std::string_view kRefusedBytes = R"(/\:*?"<>|)";

// Windows counts the superscript digits one to three (U+00B9, U+00B2,
// U+00B3; here in UTF-8) as digits in COM and LPT device names.
constexpr std::array<std::string_view, 30> kDeviceNames = {
    "CON",  "PRN",         "AUX",         "NUL",         "COM1",   "COM2",
    "COM3", "COM4",        "COM5",        "COM6",        "COM7",   "COM8",
    "COM9", "COM\xC2\xB9", "COM\xC2\xB2", "COM\xC2\xB3", "LPT1",   "LPT2",
    "LPT3", "LPT4",        "LPT5",        "LPT6",        "LPT7",   "LPT8",
    "LPT9", "LPT\xC2\xB9", "LPT\xC2\xB2", "LPT\xC2\xB3", "CONIN$", "CONOUT$"};

// Windows takes a device name followed by an extension for the device
// ("CON.x", "nul .txt"), and drops the spaces before the dot, so only the
// part before the first dot counts, trailing spaces dropped.
bool is_device_name(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  stem.erase(stem.find_last_not_of(' ') + 1);
  std::transform(stem.begin(), stem.end(), stem.begin(), [](char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  });
  return std::find(kDeviceNames.begin(), kDeviceNames.end(), stem) != kDeviceNames.end();
}

// The length of the UTF-8 sequence that `text` starts with, or 0 when it is
// not one: no overlong forms, no surrogates, nothing past U+10FFFF. A
// sequence cut short by the end of `text` counts when its bytes so far do.
std::size_t utf8_sequence_length(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte, narrowed for some leads
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < std::min(length, text.size()); ++i) {
    if (byte(i) < (i == 1 ? low : 0x80) || byte(i) > (i == 1 ? high : 0xBF)) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string track_name_text(std::string_view raw) {
  std::size_t whole = 0;  // bytes of whole UTF-8 characters from the start
  bool multibyte = false;
  while (whole < raw.size()) {
    const std::size_t length = utf8_sequence_length(raw.substr(whole));
    if (length == 0) {
      return code_page_text(raw);
    }
    if (length > raw.size() - whole) {
      // A UTF-8 name that fills its field may have lost the end of its last
      // character to it; the name up to there is the one that was meant.
      return raw.size() == kNameFieldSize - 1 && multibyte ? std::string(raw.substr(0, whole))
                                                           : code_page_text(raw);
    }
    multibyte = multibyte || length > 1;
    whole += length;
  }
  return std::string(raw);
}

std::string sanitize_track_name(std::string_view name) {
  std::string safe(name);
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x01 && byte <= 0x1F) || kRefusedBytes.find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  if (is_device_name(safe)) {
    safe.insert(0, 1, '_');
  }
  return safe;
}

}  // namespace tolvane
