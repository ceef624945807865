// What an open directory is on POSIX, shared by the POSIX platform files.
#pragma once

#include <string>

#include <dirent.h>

#include "platform/file_io.h"

namespace tolvane {

/// One open directory stream: the walk reads the listing from it, and its
/// descriptor opens the entries (openat), so a level of a walk holds one
/// descriptor.
struct PlatformDirectory {
  explicit PlatformDirectory(DIR* stream) : dir(stream), fd(::dirfd(stream)) {}
  ~PlatformDirectory() { ::closedir(dir); }
  PlatformDirectory(const PlatformDirectory&) = delete;
  PlatformDirectory& operator=(const PlatformDirectory&) = delete;

  DIR* const dir;
  const int fd;
};

/// Opens the subdirectory `name` of `parent`; a link to a directory is followed.
OrError<Directory> open_directory(const Directory& parent, const std::string& name);

}  // namespace tolvane
