// A directory listing made of data, linked in place of the platform's own, so
// the tests can have listings that fail to open or end with an error code.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dir_listing.h"

namespace tolvane::fake {

struct FakeDir {
  std::vector<DirEntry> entries;  // delivered in this order
  int open_error = 0;             // nonzero: the listing cannot be opened
  int end_error = 0;              // nonzero: the listing ends with this code
  std::optional<DirIdentity> identity;
};

/// The fake file system, by the exact path the walk asks for. Paths that are
/// not in it cannot be opened (error 2).
extern std::map<std::string, FakeDir> directories;
extern int listings_opened;
extern int listings_closed;

void reset();

}  // namespace tolvane::fake
