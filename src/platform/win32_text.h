// Text and paths at the edge of the Windows layer: UTF-8 inside, UTF-16 in
// every wide (W) call. Only the Windows platform files use them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

/// UTF-8 to UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring to_wide(std::string_view utf8);

/// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string to_utf8(std::wstring_view wide);

/// The directory the user named as `path`, resolved once against the current
/// directory into its extended-length form (\\?\C:\..., \\?\UNC\...) without
/// a trailing separator; a path in that form already is kept. Nothing, with
/// GetLastError set, when it cannot be resolved.
std::optional<std::wstring> resolve_directory(const std::string& path);

}  // namespace tolvane
