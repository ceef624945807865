// The directory listing, one source file per platform. It only translates
// the system's listing; every rule of the walk lives in the scan.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

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
  // Where the entry's data is likely to lie on its disk, to sort by: the
  // inode number, or the file ID. Files written one after another mostly
  // have rising numbers; on some file systems the number tells nothing.
  std::uint64_t disk_order = 0;
};

/// What makes a directory the same directory when it is reached again through a link.
using DirIdentity = FileIdentity;

/// What a platform keeps of a listing besides its directory, and how it lets go of it.
struct ListingState;
struct ListingCloser {
  void operator()(ListingState* state) const;
};

/// One directory's entries, read one at a time, and the directory, to open
/// them in. The listing closes with it.
struct Listing {
  std::unique_ptr<ListingState, ListingCloser> state;
  Directory directory;
  std::optional<DirIdentity> identity;  // nothing when the system would not say
};

/// Lists every entry, "." and ".." included, of the directory at `path`.
OrError<Listing> open_listing(const std::string& path);

/// Lists the subdirectory `name` of the directory `parent` lists.
OrError<Listing> open_listing(const Listing& parent, const std::string& name);

/// The next entry in the system's order, or nothing once the listing has
/// ended: then the error it ended with, 0 when it ended normally.
OrError<std::optional<DirEntry>> next_entry(const Listing& listing);

}  // namespace tolvane
