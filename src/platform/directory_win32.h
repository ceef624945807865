// What a Directory holds on Windows, shared by the Windows platform files.
#pragma once

#include <string>
#include <utility>

#include "platform/file_io.h"
#include "platform/win32_text.h"

namespace tolvane {

/// The directory's extended-length path, without a trailing separator.
/// Paths handed to the system are this and names exactly as listed, so the
/// system parses none of them again.
struct Directory::Handle {
  std::wstring path;

  /// The system's path of the entry `name` in this directory.
  std::wstring entry(const std::string& name) const { return path + L"\\" + to_wide(name); }
};

}  // namespace tolvane
