// Text and paths at the edge of the Windows layer. Inside, the tool holds
// every path and line as UTF-8; these turn them into what the wide (W) calls
// take and back. Only the Windows platform files use them.
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

/// UTF-8 to UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring to_wide(std::string_view utf8);

/// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string to_utf8(std::wstring_view wide);

/// Paths shorter than this many UTF-16 units go to the system as they are.
/// Most calls refuse a path of MAX_PATH (260) or more, and a directory's path
/// must leave room for a file name of 8.3 (248); the smaller limit covers both.
inline constexpr std::size_t kPlainPathLimit = 248;

/// The extended-length form of `full_path`, an absolute path as
/// GetFullPathNameW gives it: "\\?\" in front, or "\\?\UNC\server\share..."
/// for "\\server\share...". A path already in that form, or a device path
/// ("\\.\..."), stays as it is.
std::wstring extended_length_path(std::wstring_view full_path);

/// `path` as the wide calls take it: as it is when it is short, else in its
/// extended-length form, made absolute against the current directory, so
/// that paths of any length work. The console keeps showing `path` itself.
std::wstring system_path(const std::string& path);

}  // namespace tolvane
