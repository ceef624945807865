// Feeds arbitrary track names to the output name rule and checks the result:
// never a separator, control byte or refused character, never a Windows
// device name, and otherwise the name as it was. Checks too that the name as
// a console line shows it holds nothing a terminal acts on, and reads back
// as the name.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "extract/output_name.h"
#include "fuzz_check.h"
#include "platform/console.h"

namespace {

bool is_refused(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x01 && byte <= 0x1F) ||
         std::string_view(R"(/\:*?"<>|)").find(c) != std::string_view::npos;
}

// Up to the first dot, trailing spaces dropped: "CON.x" and "nul .txt" are devices.
bool is_device_name(std::string_view name) {
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') {
    name.remove_suffix(1);
  }
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
      upper == "CONOUT$") {
    return true;
  }
  if (upper.rfind("COM", 0) != 0 && upper.rfind("LPT", 0) != 0) {
    return false;
  }
  // A digit one to nine, or a superscript one, two or three in UTF-8.
  const std::string_view digit = std::string_view(upper).substr(3);
  return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

// DEL, and C1 and Unicode controls as UTF-8 bytes: a lead byte begins a
// character wherever it stands.
constexpr std::array<std::string_view, 13> kShownControls = {
    "\x7F",         "\xC2\x80",     "\xC2\x9B",     "\xC2\x9F",     "\xD8\x9C",
    "\xE2\x80\x8E", "\xE2\x80\x8F", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAA",
    "\xE2\x80\xAE", "\xE2\x81\xA6", "\xE2\x81\xA9"};

// The bytes a quoted path stands for: C escapes undone, quotes dropped.
std::string unquoted(std::string_view shown) {
  if (shown.size() < 2 || shown.front() != '"' || shown.back() != '"') {
    return std::string(shown);
  }
  std::string bytes;
  for (std::size_t i = 1; i + 1 < shown.size(); ++i) {
    if (shown[i] != '\\') {
      bytes += shown[i];
      continue;
    }
    const char next = shown[++i];
    const std::size_t letter = std::string_view("abtnvfr").find(next);
    if (letter != std::string_view::npos) {
      bytes += static_cast<char>('\a' + letter);
    } else if (next >= '0' && next <= '3') {
      bytes +=
          static_cast<char>((next - '0') * 64 + (shown[i + 1] - '0') * 8 + (shown[i + 2] - '0'));
      i += 2;
    } else {
      bytes += next;
    }
  }
  return bytes;
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer calls.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view name(reinterpret_cast<const char*>(data), size);
  // A container's name ends at its first NUL, so no name holds one.
  name = name.substr(0, name.find('\0'));

  const std::string safe = tolvane::sanitize_track_name(name);
  for (const char c : safe) {
    FUZZ_CHECK(!is_refused(c));
  }
  FUZZ_CHECK(!is_device_name(safe));
  // Nothing else changes: the same bytes, refused ones as '_', and a '_' in
  // front exactly when the name would otherwise be a device.
  const std::size_t prefix = safe.size() - name.size();
  FUZZ_CHECK(prefix <= 1);
  FUZZ_CHECK((prefix == 1) == is_device_name(safe.substr(prefix)));
  for (std::size_t i = 0; i < name.size(); ++i) {
    FUZZ_CHECK(safe[prefix + i] == (is_refused(name[i]) ? '_' : name[i]));
  }

  const std::string shown = tolvane::quoted_path(name);
  for (const char c : shown) {
    FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
  }
  for (const std::string_view control : kShownControls) {
    FUZZ_CHECK(shown.find(control) == std::string::npos);
  }
  FUZZ_CHECK(shown == name || unquoted(shown) == name);
  return 0;
}
