#include <windows.h>

#include "platform/track_name.h"
#include "platform/win32_text.h"

namespace tolvane {

std::string code_page_text(std::string_view raw) {
  const auto size = static_cast<int>(raw.size());
  if (size == 0) {
    return {};
  }
  const int length = MultiByteToWideChar(CP_ACP, 0, raw.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, raw.data(), size, wide.data(), length);
  return to_utf8(wide);
}

}  // namespace tolvane
