#include <array>
#include <cerrno>
#include <cstddef>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/dir_listing.h"
#include "platform/directory_posix.h"

namespace tolvane {

// The entries the system delivered last and the walk has not had yet. Only a
// directory being listed has them: one that waits only for its files to be
// read holds nothing but its descriptor.
struct ListingState {
  alignas(dirent64) std::array<char, 2048> records;
  std::size_t size;  // bytes of records delivered
  std::size_t next;  // the offset of the next record
};

namespace {

EntryKind kind_of_mode(mode_t mode) {
  if (S_ISDIR(mode)) {
    return EntryKind::kDirectory;
  }
  return S_ISREG(mode) ? EntryKind::kFile : EntryKind::kSpecial;
}

EntryKind kind_of(int dir_fd, const dirent64& entry) {
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
    return kind_of_mode(DTTOIF(entry.d_type));
  }
  // A link, or a file system that does not fill in d_type: ask for the kind of
  // what the name leads to. A dangling link counts as a file; opening it fails.
  struct stat info {};
  if (::fstatat(dir_fd, entry.d_name, &info, 0) != 0) {
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
  return {{std::unique_ptr<ListingState, ListingCloser>(new ListingState{{}, 0, 0}),
           std::move(opened.value), identity},
          0};
}

}  // namespace

OrError<Listing> open_listing(const std::string& path) {
  return listing_of(open_directory(path));
}

OrError<Listing> open_listing(const Listing& parent, const std::string& name) {
  return listing_of(open_directory(parent.directory, name));
}

OrError<std::optional<DirEntry>> next_entry(const Listing& listing) {
  ListingState& state = *listing.state;
  const int fd = listing.directory->fd;
  if (state.next == state.size) {
    // A few entries at a time, read straight from the directory rather than
    // through a stream of the C library, whose buffer is many times this and
    // would stay with the directory while its files wait to be read.
    const ssize_t got = ::getdents64(fd, state.records.data(), state.records.size());
    if (got <= 0) {
      return {std::nullopt, got < 0 ? errno : 0};
    }
    state.size = static_cast<std::size_t>(got);
    state.next = 0;
  }
  const auto& entry = *reinterpret_cast<const dirent64*>(&state.records[state.next]);
  state.next += entry.d_reclen;
  return {DirEntry{entry.d_name, kind_of(fd, entry), entry.d_ino}, 0};
}

void ListingCloser::operator()(ListingState* state) const {
  delete state;
}

}  // namespace tolvane
