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

struct ListingState {
  std::string path;
  const fake::FakeDir* dir;
  std::size_t next;
};

namespace {

// The listing comes from the data; the directory, for the files a test
// writes, is the real one at `path` where there is one.
OrError<Listing> fake_listing(const std::string& path) {
  const auto found = fake::directories.find(path);
  if (found == fake::directories.end()) {
    return {{}, 2};
  }
  if (found->second.open_error != 0) {
    return {{}, found->second.open_error};
  }
  ++fake::listings_opened;
  return {{std::unique_ptr<ListingState, ListingCloser>(new ListingState{path, &found->second, 0}),
           open_directory(path).value, found->second.identity},
          0};
}

}  // namespace

OrError<Listing> open_listing(const std::string& path) {
  return fake_listing(path);
}

OrError<Listing> open_listing(const Listing& parent, const std::string& name) {
  return fake_listing(parent.state->path + kPathSeparator + name);
}

OrError<std::optional<DirEntry>> next_entry(const Listing& listing) {
  ListingState& state = *listing.state;
  if (state.next == state.dir->entries.size()) {
    return {std::nullopt, state.dir->end_error};
  }
  return {state.dir->entries[state.next++], 0};
}

void ListingCloser::operator()(ListingState* state) const {
  ++fake::listings_closed;
  delete state;
}

}  // namespace tolvane
