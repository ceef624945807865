#include <windows.h>

#include "platform/track_name.h"
#include "platform/win32_text.h"

namespace tolvane {

std::string track_name_text(std::string_view raw) {
  const auto size = static_cast<int>(raw.size());
  if (size == 0 ||
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw.data(), size, nullptr, 0) > 0) {
    return std::string(raw);
  }
  // Not UTF-8: the bytes are text of the system's ANSI code page, as they
  // were to a program that wrote them there.
  const int length = MultiByteToWideChar(CP_ACP, 0, raw.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, raw.data(), size, wide.data(), length);
  return to_utf8(wide);
}

}  // namespace tolvane
