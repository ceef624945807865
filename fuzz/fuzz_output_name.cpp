// Feeds arbitrary track names to the output name rule and checks the result:
// never a separator, control byte or refused character, never a Windows
// device name, and otherwise the name as it was.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "extract/output_name.h"
#include "fuzz_check.h"

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
  return 0;
}
