#include "extract/output_name.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "extract/container.h"
#include "platform/track_name.h"
#include "platform/utf8.h"

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

}  // namespace

std::string track_name_text(std::string_view raw) {
  std::size_t whole = 0;  // bytes of whole UTF-8 characters from the start
  bool multibyte = false;
  while (whole < raw.size()) {
    const std::size_t length = decode_utf8(raw.substr(whole)).length;
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
