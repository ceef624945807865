// The directory listing, the scan's one platform seam: one source file per
// platform (dir_listing_posix.cpp, dir_listing_win32.cpp). It only translates
// the system's listing into DirEntry records and error codes; every rule of
// the walk lives in scan.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "platform/file_io.h"

namespace tolvane {

enum class EntryKind {
  kDirectory,  // a directory, or a link to one
  kFile,       // a regular file, or anything whose kind could not be told
  kSpecial,    // a FIFO, socket or device, or a link to one: never to be read
};

struct DirEntry {
  std::string name;  // without any path
  EntryKind kind;
};

/// What makes a directory the same directory when it is reached again through
/// a link: device and inode, or volume serial number and file index.
struct DirIdentity {
  std::uint64_t volume;
  std::uint64_t index;
};

inline bool operator<(const DirIdentity& a, const DirIdentity& b) {
  return std::tie(a.volume, a.index) < std::tie(b.volume, b.index);
}

struct DirListing;  // an open listing, owned by the platform file

struct OpenedListing {
  DirListing* listing;                  // null when the directory could not be listed
  Directory directory;                  // the directory listed, to open its entries in
  int error;                            // nonzero exactly when listing is null
  std::optional<DirIdentity> identity;  // nothing when the system would not say
};

/// Opens a listing of every entry, "." and ".." included, of the directory
/// at `path`, as the user named it.
OpenedListing open_listing(const std::string& path);

/// Opens a listing of the subdirectory `name` of `parent`, which the console
/// calls `path`. The platforms go by `parent` and `name` alone; `path` is for
/// the tests' listing made of data, which has no directories to open.
OpenedListing open_listing(const Directory& parent, const std::string& name,
                           const std::string& path);

/// The next entry, in the order the system delivers them, or nothing once
/// the listing has ended, normally or not.
std::optional<DirEntry> next_entry(DirListing* listing);

/// Releases `listing`. Returns 0 when it ended normally, or the system's
/// error code with which it ended.
int close_listing(DirListing* listing);

}  // namespace tolvane
