#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/dir_listing.h"
#include "platform/directory_posix.h"

namespace tolvane {

// Reads the directory's own stream: the Directory it was opened as.
struct DirListing {
  Directory directory;
  int end_error;
};

namespace {

EntryKind kind_of_mode(mode_t mode) {
  if (S_ISDIR(mode)) {
    return EntryKind::kDirectory;
  }
  return S_ISREG(mode) ? EntryKind::kFile : EntryKind::kSpecial;
}

EntryKind kind_of(DIR* dir, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::kDirectory;
    case DT_REG:
      return EntryKind::kFile;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
      return EntryKind::kSpecial;
    default:
      break;
  }
  // A link, or a file system that does not fill in d_type: ask for the kind of
  // what the name leads to. A dangling link counts as a file; opening it fails.
  struct stat info {};
  if (::fstatat(::dirfd(dir), entry.d_name, &info, 0) != 0) {
    return EntryKind::kFile;
  }
  return kind_of_mode(info.st_mode);
}

}  // namespace

namespace {

OpenedListing listing_of(const OpenedDirectory& opened) {
  if (opened.error != 0) {
    return {nullptr, {}, opened.error, std::nullopt};
  }
  std::optional<DirIdentity> identity;
  struct stat info {};
  if (::fstat(opened.directory.handle()->fd, &info) == 0) {
    identity = DirIdentity{static_cast<std::uint64_t>(info.st_dev),
                           static_cast<std::uint64_t>(info.st_ino)};
  }
  return {new DirListing{opened.directory, 0}, opened.directory, 0, identity};
}

}  // namespace

OpenedListing open_listing(const std::string& path) {
  return listing_of(open_directory(path));
}

OpenedListing open_listing(const Directory& parent, const std::string& name,
                           const std::string& /*path*/) {
  return listing_of(open_directory(parent, name));
}

std::optional<DirEntry> next_entry(DirListing* listing) {
  // readdir returns null both at the end and on an error; only errno tells them apart.
  DIR* const dir = listing->directory.handle()->dir;
  errno = 0;
  const dirent* entry = ::readdir(dir);
  if (entry == nullptr) {
    listing->end_error = errno;
    return std::nullopt;
  }
  return DirEntry{entry->d_name, kind_of(dir, *entry)};
}

int close_listing(DirListing* listing) {
  const int end_error = listing->end_error;
  delete listing;  // the stream closes with the last copy of its Directory
  return end_error;
}

}  // namespace tolvane
