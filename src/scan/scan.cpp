#include "scan/scan.h"

#include <memory>
#include <set>
#include <string_view>
#include <utility>

#include "extract/extract.h"
#include "platform/console.h"
#include "platform/dir_listing.h"
#include "platform/file_io.h"
#include "scan/ordered_pool.h"

namespace tolvane {
namespace {

// Files in flight per worker: enough that no worker waits for the walk or
// for a slow file before it, few enough that open files and staged outputs
// stay a small, fixed number however large the tree.
constexpr std::size_t kSlotsPerWorker = 16;

struct ScanSettings {
  const std::string& extension;
  const std::string& output_dir;
  bool recurse;
  OrderedPool& pool;
};

std::string_view extension_text(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

void report(const std::string& path, const ExtractResult& result) {
  switch (result.outcome) {
    case ExtractOutcome::kExtracted:
      print("Extracted music from " + path + "\n");
      break;
    case ExtractOutcome::kNoMusic:
      print("No music in " + path + " skipping file.\n");
      break;
    case ExtractOutcome::kWriteFailed:
      print("Could not write music from " + path + " to " + result.output_path + ": " +
            result.reason + "\n");
      break;
  }
}

// Prints `line` in its place among the files' lines: after every file offered
// before it.
void print_in_order(OrderedPool& pool, std::string line) {
  pool.submit({nullptr, [line = std::move(line)]() -> OrderedPool::Finish {
                 return [line] { print(line); };
               }});
}

// Extracts the file at `path` on a worker; its track is published, and its
// line printed, in the order the walk offered the files, so a later track of
// a name replaces an earlier one and every line shows as soon as it and those
// before it are done.
void offer(const std::string& path, EntryKind kind, const ScanSettings& settings) {
  // FIFOs, sockets and devices are never opened: reading one could block the
  // run or never end.
  if (kind != EntryKind::kFile) {
    settings.pool.submit({nullptr, [path]() -> OrderedPool::Finish {
                            return [path] { report(path, {ExtractOutcome::kNoMusic, {}, {}}); };
                          }});
    return;
  }
  auto input = std::make_shared<std::optional<InputFile>>();
  settings.pool.submit({[path, input] { *input = open_track_input(path); },
                        [path, input, output_dir = settings.output_dir]() -> OrderedPool::Finish {
                          auto track =
                              std::make_shared<PreparedTrack>(prepare_track(*input, output_dir));
                          return [path, track] { report(path, publish_track(std::move(*track))); };
                        }});
}

int walk(DirListing* listing, const std::string& directory, const ScanSettings& settings,
         std::set<DirIdentity>& walked);

int walk_subdirectory(const std::string& path, const ScanSettings& settings,
                      std::set<DirIdentity>& walked) {
  const OpenedListing opened = open_listing(path);
  if (opened.listing == nullptr) {
    print_in_order(settings.pool, "Could not open directory " + path + " skipping directory.\n");
    return 0;
  }
  // A directory met again through a link (a cycle, or two links to one
  // place) is not walked twice: each walk finishes, and in time linear in
  // the size of the tree.
  if (opened.identity && !walked.insert(*opened.identity).second) {
    close_listing(opened.listing);
    return 0;
  }
  return walk(opened.listing, path, settings, walked);
}

// Walks one open listing and closes it. A nonzero code from a subdirectory
// ends this level at once and climbs unchanged.
int walk(DirListing* listing, const std::string& directory, const ScanSettings& settings,
         std::set<DirIdentity>& walked) {
  int result = 0;
  while (result == 0) {
    const std::optional<DirEntry> entry = next_entry(listing);
    if (!entry) {
      break;
    }
    // Also drops the listing's own "." and "..".
    if (entry->name.empty() || entry->name.front() == '.') {
      continue;
    }
    const std::string path = join_path(directory, entry->name);
    if (entry->kind == EntryKind::kDirectory) {
      if (settings.recurse) {
        result = walk_subdirectory(path, settings, walked);
      }
    } else if (extension_text(entry->name) == settings.extension) {
      offer(path, entry->kind, settings);
    }
  }
  const int end_error = close_listing(listing);
  return result != 0 ? result : end_error;
}

}  // namespace

int scan_directory(const std::string& directory, const std::string& extension,
                   const std::string& output_dir, bool recurse, unsigned workers) {
  const OpenedListing top = open_listing(directory);
  if (top.listing == nullptr) {
    return top.error;
  }
  std::set<DirIdentity> walked;
  if (top.identity) {
    walked.insert(*top.identity);
  }
  // The pool finishes every file offered before it goes, also when a listing
  // error stops the walk.
  OrderedPool pool(workers, kSlotsPerWorker * workers);
  return walk(top.listing, directory, ScanSettings{extension, output_dir, recurse, pool}, walked);
}

}  // namespace tolvane
