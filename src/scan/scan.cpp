#include "scan/scan.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "extract/extract.h"
#include "platform/console.h"
#include "platform/dir_listing.h"
#include "platform/file_io.h"
#include "scan/ordered_pool.h"

namespace tolvane {
namespace {

// Files in flight: the window from which the workers choose the next file to
// read, by where it lies on the disk. The larger it is, the fewer seeks
// where a tree was written in an order unrelated to its folders. Each file
// in it may hold its directory and its staged output open, and a slot of
// memory: so it is at most an eighth of the open files the process may have
// and kMaxWindow in all, but at least two runs per worker, the one it works
// through and the one it reads ahead.
constexpr std::size_t kMaxWindow = 1024;
constexpr std::size_t kSlotsPerWorker = 32;

std::string_view extension_text(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

// One directory on the way from the top of the walk down to where it is.
struct Level {
  Listing listing;
  std::size_t path_size;  // the length of its path, a prefix of the walk's path
};

// Walks depth-first from `top`, the listing of the directory the console
// calls `path`, handing every candidate to `pool`. The levels are on a stack
// of their own, so no depth of tree exhausts the thread's.
int walk(Listing top, std::string path, const std::string& extension, bool recurse,
         OrderedPool& pool) {
  std::set<DirIdentity> walked;
  if (top.identity) {
    walked.insert(*top.identity);
  }
  std::vector<Level> levels;
  levels.push_back({std::move(top), path.size()});
  while (!levels.empty()) {
    const Level& level = levels.back();
    path.resize(level.path_size);
    const OrError<std::optional<DirEntry>> next = next_entry(level.listing);
    if (!next.value) {
      levels.pop_back();
      if (next.error != 0) {
        return next.error;
      }
      continue;
    }
    const DirEntry& entry = *next.value;
    // Also drops the listing's own "." and "..".
    if (entry.name.empty() || entry.name.front() == '.') {
      continue;
    }
    path.append(1, kPathSeparator).append(entry.name);
    if (entry.kind != EntryKind::kDirectory) {
      if (extension_text(entry.name) == extension) {
        // FIFOs, sockets and devices are never opened: they could block the run.
        const bool readable = entry.kind == EntryKind::kFile;
        pool.submit({path,
                     readable ? level.listing.directory : Directory(),
                     entry.name,
                     {},
                     entry.disk_order});
      }
      continue;
    }
    if (!recurse) {
      continue;
    }
    OrError<Listing> opened = open_listing(level.listing, entry.name);
    if (opened.error != 0) {
      pool.submit({path,
                   {},
                   {},
                   "Could not open directory " + quoted_path(path) + " skipping directory.\n"});
      continue;
    }
    // A directory met again through a link is not walked twice, so cycles end.
    if (opened.value.identity && !walked.insert(*opened.value.identity).second) {
      continue;
    }
    levels.push_back({std::move(opened.value), path.size()});
  }
  return 0;
}

}  // namespace

int scan_directory(const std::string& directory, const std::string& extension,
                   const std::string& output_dir, bool recurse, unsigned workers) {
  const std::size_t window = std::min(
      kMaxWindow, std::max<std::size_t>(raise_open_file_limit() / 8, kSlotsPerWorker * workers));
  OrError<Listing> top = open_listing(directory);
  if (top.error != 0) {
    return top.error;
  }
  const OutputDir output{output_dir, open_directory(output_dir)};
  OrderedPool pool(workers, window, output);
  return walk(std::move(top.value), directory, extension, recurse, pool);
}

}  // namespace tolvane
