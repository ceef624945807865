#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/dir_listing.h"
#include "platform/directory_posix.h"

namespace tolvane {

namespace {

EntryKind kind_of_mode(mode_t mode) {
  if (S_ISDIR(mode)) {
    return EntryKind::kDirectory;
  }
  return S_ISREG(mode) ? EntryKind::kFile : EntryKind::kSpecial;
}

EntryKind kind_of(DIR* dir, const dirent& entry) {
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
    return kind_of_mode(DTTOIF(entry.d_type));
  }
  // A link, or a file system that does not fill in d_type: ask for the kind of
  // what the name leads to. A dangling link counts as a file; opening it fails.
  struct stat info {};
  if (::fstatat(::dirfd(dir), entry.d_name, &info, 0) != 0) {
    return EntryKind::kFile;
  }
  return kind_of_mode(info.st_mode);
}

OrError<Listing> listing_of(OrError<Directory> opened) {
  if (opened.error != 0) {
    return {{}, opened.error};
  }
  std::optional<DirIdentity> identity;
  struct stat info {};
  if (::fstat(opened.value->fd, &info) == 0) {
    identity = DirIdentity{static_cast<std::uint64_t>(info.st_dev),
                           static_cast<std::uint64_t>(info.st_ino)};
  }
  // The listing is read from the directory's own stream: nothing else to keep.
  return {{nullptr, std::move(opened.value), identity}, 0};
}

}  // namespace

OrError<Listing> open_listing(const std::string& path) {
  return listing_of(open_directory(path));
}

OrError<Listing> open_listing(const Listing& parent, const std::string& name) {
  return listing_of(open_directory(parent.directory, name));
}

OrError<std::optional<DirEntry>> next_entry(const Listing& listing) {
  // readdir returns null both at the end and on an error; only errno tells them apart.
  DIR* const dir = listing.directory->dir;
  errno = 0;
  const dirent* entry = ::readdir(dir);
  if (entry == nullptr) {
    return {std::nullopt, errno};
  }
  return {DirEntry{entry->d_name, kind_of(dir, *entry)}, 0};
}

// There is none: the stream closes with the last copy of its Directory.
void ListingCloser::operator()(ListingState* /*state*/) const {}

}  // namespace tolvane
