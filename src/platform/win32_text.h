// Text and paths at the edge of the Windows layer. Inside, the tool holds
// every path and line as UTF-8; these turn them into what the wide (W) calls
// take and back. Only the Windows platform files use them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

/// UTF-8 to UTF-16. Bytes that are not UTF-8 become U+FFFD.
std::wstring to_wide(std::string_view utf8);

/// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string to_utf8(std::wstring_view wide);

/// The extended-length form of `full_path`, an absolute path as
/// GetFullPathNameW gives it: "\\?\" in front, or "\\?\UNC\server\share..."
/// for "\\server\share...". A path already in that form, or a device path
/// ("\\.\..."), stays as it is.
std::wstring extended_length_path(std::wstring_view full_path);

/// The directory the user named as `path`, resolved once against the
/// current directory (and its drive's) into its extended-length form,
/// without a trailing separator, so that names joined to it with one
/// backslash reach the system exactly as they are. A path already in the
/// extended form is kept as it is. Returns nothing, with GetLastError set,
/// when the path cannot be resolved.
std::optional<std::wstring> resolve_directory(const std::string& path);

}  // namespace tolvane
