#include "scan/scan.h"

#include <memory>
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

// Files in flight per worker: two runs of 16, the one it works through and
// the one whose reads it has started; enough that no worker waits for the
// walk or for a slow file before it, few enough that open files and staged
// outputs stay a small, fixed number however large the tree.
constexpr std::size_t kSlotsPerWorker = 32;

struct ScanSettings {
  const std::string& extension;
  const OutputDir& output;
  bool recurse;
  OrderedPool& pool;
};

std::string_view extension_text(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

// The console line for the file at `path`.
std::string report(const std::string& path, const ExtractResult& result) {
  switch (result.outcome) {
    case ExtractOutcome::kExtracted:
      return "Extracted music from " + path + "\n";
    case ExtractOutcome::kNoMusic:
      return "No music in " + path + " skipping file.\n";
    case ExtractOutcome::kWriteFailed:
      return "Could not write music from " + path + " to " + result.output_path + ": " +
             result.reason + "\n";
  }
  return {};
}

// Prints `line` in its place among the files' lines: after every file offered
// before it.
void print_in_order(OrderedPool& pool, std::string line) {
  pool.submit({nullptr, [line = std::move(line)]() -> OrderedPool::Finish {
                 return [line] { return line; };
               }});
}

// Extracts the file `name` in `directory`, which the console calls `path`,
// on a worker; its track is published, and its line printed, in the order
// the walk offered the files, so a later track of a name replaces an earlier
// one and every line shows as soon as it and those before it are done. The
// job holds its own copy of `directory`, which stays open until it is done.
void offer(const Directory& directory, const std::string& name, const std::string& path,
           EntryKind kind, const ScanSettings& settings) {
  // FIFOs, sockets and devices are never opened: reading one could block the
  // run or never end.
  if (kind != EntryKind::kFile) {
    settings.pool.submit({nullptr, [path]() -> OrderedPool::Finish {
                            return [path] {
                              return report(path, {ExtractOutcome::kNoMusic, {}, {}});
                            };
                          }});
    return;
  }
  auto input = std::make_shared<std::optional<InputFile>>();
  settings.pool.submit(
      {[directory, name, input] { *input = open_track_input(directory, name); },
       [path, input, &output = settings.output]() -> OrderedPool::Finish {
         auto track = std::make_shared<PreparedTrack>(prepare_track(*input, output));
         return [path, track] { return report(path, publish_track(std::move(*track))); };
       }});
}

// One directory on the path from the top of the walk down to where it is.
struct Level {
  DirListing* listing;
  Directory directory;
  std::size_t path_size;  // the length of its path, a prefix of the walk's path
};

// Walks depth-first from the open listing `top` of the directory that the
// console calls `path`, closing every listing it opens. A directory's whole
// subtree is walked when the walk meets it. The levels are kept on a stack
// of their own rather than the thread's, so no depth of tree can exhaust it;
// the paths of all levels share one string. A listing that ends with an
// error ends the walk: every open level is closed and its code returned.
int walk(const OpenedListing& top, std::string path, const ScanSettings& settings) {
  std::set<DirIdentity> walked;
  if (top.identity) {
    walked.insert(*top.identity);
  }
  std::vector<Level> levels{{top.listing, top.directory, path.size()}};
  int result = 0;
  while (!levels.empty()) {
    const Level& level = levels.back();
    path.resize(level.path_size);
    std::optional<DirEntry> entry;
    if (result == 0) {
      entry = next_entry(level.listing);
    }
    if (!entry) {
      const int end_error = close_listing(level.listing);
      result = result != 0 ? result : end_error;
      levels.pop_back();
      continue;
    }
    // Also drops the listing's own "." and "..".
    if (entry->name.empty() || entry->name.front() == '.') {
      continue;
    }
    path.append(1, kPathSeparator).append(entry->name);
    if (entry->kind != EntryKind::kDirectory) {
      if (extension_text(entry->name) == settings.extension) {
        offer(level.directory, entry->name, path, entry->kind, settings);
      }
      continue;
    }
    if (!settings.recurse) {
      continue;
    }
    const OpenedListing opened = open_listing(level.directory, entry->name, path);
    if (opened.listing == nullptr) {
      print_in_order(settings.pool, "Could not open directory " + path + " skipping directory.\n");
      continue;
    }
    // A directory met again through a link (a cycle, or two links to one
    // place) is not walked twice: each walk finishes, and in time linear in
    // the size of the tree.
    if (opened.identity && !walked.insert(*opened.identity).second) {
      close_listing(opened.listing);
      continue;
    }
    levels.push_back({opened.listing, opened.directory, path.size()});
  }
  return result;
}

}  // namespace

int scan_directory(const std::string& directory, const std::string& extension,
                   const std::string& output_dir, bool recurse, unsigned workers) {
  raise_open_file_limit();
  const OpenedListing top = open_listing(directory);
  if (top.listing == nullptr) {
    return top.error;
  }
  const OutputDir output = open_output_dir(output_dir);
  // The pool finishes every file offered before it goes, also when a listing
  // error stops the walk.
  OrderedPool pool(workers, kSlotsPerWorker * workers, print);
  return walk(top, directory, ScanSettings{extension, output, recurse, pool});
}

}  // namespace tolvane
