#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/dir_listing.h"

namespace tolvane {

struct DirListing {
  DIR* dir;
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

OpenedListing open_listing(const std::string& directory) {
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) {
    return {nullptr, errno != 0 ? errno : EIO, std::nullopt};
  }
  std::optional<DirIdentity> identity;
  struct stat info {};
  if (::fstat(::dirfd(dir), &info) == 0) {
    identity = DirIdentity{static_cast<std::uint64_t>(info.st_dev),
                           static_cast<std::uint64_t>(info.st_ino)};
  }
  return {new DirListing{dir, 0}, 0, identity};
}

std::optional<DirEntry> next_entry(DirListing* listing) {
  // readdir returns null both at the end and on an error; only errno tells them apart.
  errno = 0;
  const dirent* entry = ::readdir(listing->dir);
  if (entry == nullptr) {
    listing->end_error = errno;
    return std::nullopt;
  }
  return DirEntry{entry->d_name, kind_of(listing->dir, *entry)};
}

int close_listing(DirListing* listing) {
  const int end_error = listing->end_error;
  ::closedir(listing->dir);
  delete listing;
  return end_error;
}

}  // namespace tolvane
