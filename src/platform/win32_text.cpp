#include "platform/win32_text.h"

#include <windows.h>

namespace tolvane {
namespace {

bool starts_with(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// `full_path`, absolute as GetFullPathNameW gives it, in its extended-length
// form; a device path (\\.\...) stays as it is.
std::wstring extended_length_path(std::wstring_view full_path) {
  if (starts_with(full_path, L"\\\\?\\") || starts_with(full_path, L"\\\\.\\")) {
    return std::wstring(full_path);
  }
  if (starts_with(full_path, L"\\\\")) {
    return L"\\\\?\\UNC\\" + std::wstring(full_path.substr(2));
  }
  return L"\\\\?\\" + std::wstring(full_path);
}

}  // namespace

std::wstring to_wide(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string to_utf8(std::wstring_view wide) {
  if (wide.empty()) {
    return {};
  }
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::optional<std::wstring> resolve_directory(const std::string& path) {
  std::wstring wide = to_wide(path);
  if (wide.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  std::wstring resolved;
  if (starts_with(wide, L"\\\\?\\")) {
    resolved = std::move(wide);
  } else {
    // GetFullPathNameW folds "." and ".." and doubled separators, which the
    // extended form would take literally.
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
      return std::nullopt;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
      return std::nullopt;
    }
    full.resize(length);
    resolved = extended_length_path(full);
  }
  // Every name is joined on with a separator of its own. A drive's root
  // becomes "\\?\C:", which the joined paths complete again.
  while (resolved.size() > 4 && resolved.back() == L'\\') {
    resolved.pop_back();
  }
  return resolved;
}

}  // namespace tolvane
