#include "platform/console.h"

#include "platform/utf8.h"

namespace tolvane {
namespace {

// Characters a terminal acts on or a reader of lines splits at, rather than
// shows: C0, DEL and C1 controls, the line and paragraph separators, and the
// bidirectional controls, which reorder the text around them.
bool is_control(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E ||
         code == 0x200F || (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

void append_escaped(std::string& out, std::string_view bytes) {
  constexpr std::string_view kLetters = "abtnvfr";  // for the bytes 7 to 13
  if (bytes.size() == 1 && bytes[0] >= '\a' && bytes[0] <= '\r') {
    out += '\\';
    out += kLetters[static_cast<std::size_t>(bytes[0] - '\a')];
    return;
  }
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6U));
    out += static_cast<char>('0' + ((byte >> 3U) & 7U));
    out += static_cast<char>('0' + (byte & 7U));
  }
}

}  // namespace

std::string quoted_path(std::string_view path) {
  std::string quoted = "\"";
  bool needs_quotes = false;
  for (std::string_view rest = path; !rest.empty();) {
    const Utf8Char next = decode_utf8(rest);
    // A byte that begins no whole character is escaped alone; the next byte starts afresh.
    const bool valid = next.length != 0 && next.length <= rest.size();
    const std::string_view bytes = rest.substr(0, valid ? next.length : 1);
    rest.remove_prefix(bytes.size());
    if (!valid || is_control(next.code)) {
      needs_quotes = true;
      append_escaped(quoted, bytes);
      continue;
    }
    if (bytes == "\"" || bytes == "\\") {
      quoted += '\\';
    }
    quoted += bytes;
  }
  return needs_quotes ? quoted + '"' : std::string(path);
}

}  // namespace tolvane
