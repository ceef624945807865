// What a Directory holds on POSIX, shared by the POSIX platform files.
#pragma once

#include <dirent.h>

#include "platform/file_io.h"

namespace tolvane {

/// One open directory stream: its descriptor opens the directory's entries
/// (openat), and the walk reads its listing from the same stream, so each
/// level of a walk holds one descriptor.
struct Directory::Handle {
  explicit Handle(DIR* stream) : dir(stream), fd(::dirfd(stream)) {}
  ~Handle() { ::closedir(dir); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  DIR* const dir;  // read by the walk alone
  const int fd;    // the stream's own, for the workers' openat
};

}  // namespace tolvane
