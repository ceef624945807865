#include "extract/output_name.h"

#include <algorithm>
#include <array>
#include <cstddef>

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

char ascii_upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equals_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_upper(a[i]) != ascii_upper(b[i])) {
      return false;
    }
  }
  return true;
}

// Windows takes a device name followed by an extension for the device
// ("CON.x", "nul .txt"), and drops the spaces before the dot, so only the
// part before the first dot counts, trailing spaces dropped.
bool is_device_name(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  const std::size_t last = stem.find_last_not_of(' ');
  stem = last == std::string_view::npos ? "" : stem.substr(0, last + 1);
  return std::any_of(kDeviceNames.begin(), kDeviceNames.end(), [stem](std::string_view device) {
    return equals_ignoring_ascii_case(stem, device);
  });
}

}  // namespace

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
