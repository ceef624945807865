#include "fake_dir_listing.h"

#include <cstddef>

namespace tolvane {

namespace fake {

std::map<std::string, FakeDir> directories;
int listings_opened = 0;
int listings_closed = 0;

void reset() {
  directories.clear();
  listings_opened = 0;
  listings_closed = 0;
}

}  // namespace fake

struct DirListing {
  const fake::FakeDir* dir;
  std::size_t next;
};

namespace {

// The listing comes from the data; the directory, for the files a test
// writes, is the real one at `path` where there is one.
OpenedListing fake_listing(const std::string& path) {
  const auto found = fake::directories.find(path);
  if (found == fake::directories.end()) {
    return {nullptr, {}, 2, std::nullopt};
  }
  if (found->second.open_error != 0) {
    return {nullptr, {}, found->second.open_error, std::nullopt};
  }
  ++fake::listings_opened;
  return {new DirListing{&found->second, 0}, open_directory(path).directory, 0,
          found->second.identity};
}

}  // namespace

OpenedListing open_listing(const std::string& path) {
  return fake_listing(path);
}

OpenedListing open_listing(const Directory& /*parent*/, const std::string& /*name*/,
                           const std::string& path) {
  return fake_listing(path);
}

std::optional<DirEntry> next_entry(DirListing* listing) {
  if (listing->next == listing->dir->entries.size()) {
    return std::nullopt;
  }
  return listing->dir->entries[listing->next++];
}

int close_listing(DirListing* listing) {
  const bool ended = listing->next == listing->dir->entries.size();
  const int end_error = ended ? listing->dir->end_error : 0;
  ++fake::listings_closed;
  delete listing;
  return end_error;
}

}  // namespace tolvane
