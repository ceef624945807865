// What an open directory is on POSIX, shared by the POSIX platform files.
#pragma once

#include <string>

#include <unistd.h>

#include "platform/file_io.h"

namespace tolvane {

/// One open directory: its entries are opened relative to its descriptor
/// (openat), and its listing is read from it, so a level of a walk holds
/// one descriptor, and a file waiting to be read holds its directory's.
struct PlatformDirectory {
  explicit PlatformDirectory(int descriptor) : fd(descriptor) {}
  ~PlatformDirectory() { ::close(fd); }
  PlatformDirectory(const PlatformDirectory&) = delete;
  PlatformDirectory& operator=(const PlatformDirectory&) = delete;

  const int fd;
};

/// Opens the subdirectory `name` of `parent`; a link to a directory is followed.
OrError<Directory> open_directory(const Directory& parent, const std::string& name);

}  // namespace tolvane
