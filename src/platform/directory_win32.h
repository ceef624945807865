// What an open directory is on Windows, shared by the Windows platform files.
#pragma once

#include <string>

#include "platform/file_io.h"
#include "platform/win32_text.h"

namespace tolvane {

/// The directory's extended-length path, without a trailing separator. The
/// system is handed this path and names joined to it exactly as listed, so
/// it parses none of them again and no length limit applies.
struct PlatformDirectory {
  std::wstring path;

  /// The system's path of the entry `name`.
  std::wstring entry(const std::string& name) const { return path + L"\\" + to_wide(name); }
};

}  // namespace tolvane
