#include "extract/container.h"

namespace tolvane {

bool has_riff_magic(std::string_view header) {
  return header.size() >= kHeaderSize && header.substr(kPayloadOffset, kMagic.size()) == kMagic;
}

std::optional<std::string> read_track_name(std::string_view header) {
  if (header.size() < kPayloadOffset) {
    return std::nullopt;
  }
  const std::string_view field = header.substr(kNameOffset, kNameFieldSize);
  const std::size_t end = field.find('\0');
  if (end == std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(field.substr(0, end));
}

}  // namespace tolvane
