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

OpenedListing open_listing(const std::string& directory) {
  const auto found = fake::directories.find(directory);
  if (found == fake::directories.end()) {
    return {nullptr, 2, std::nullopt};
  }
  if (found->second.open_error != 0) {
    return {nullptr, found->second.open_error, std::nullopt};
  }
  ++fake::listings_opened;
  return {new DirListing{&found->second, 0}, 0, found->second.identity};
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
