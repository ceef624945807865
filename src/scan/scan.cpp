#include "scan/scan.h"

#include <set>
#include <string_view>

#include "extract/extract.h"
#include "platform/file_io.h"
#include "platform/console.h"
#include "platform/dir_listing.h"

namespace tolvane {
namespace {

struct ScanSettings {
  const std::string& extension;
  const std::string& output_dir;
  bool recurse;
};

// Every line goes out as soon as its file is done, so a long run shows progress.
void print_line(const std::string& line) {
  print(line);
}

std::string_view extension_text(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

void report(const std::string& path, const ExtractResult& result) {
  switch (result.outcome) {
    case ExtractOutcome::kExtracted:
      print_line("Extracted music from " + path + "\n");
      break;
    case ExtractOutcome::kNoMusic:
      print_line("No music in " + path + " skipping file.\n");
      break;
    case ExtractOutcome::kWriteFailed:
      print_line("Could not write music from " + path + " to " + result.output_path + ": " +
                 result.reason + "\n");
      break;
  }
}

int walk(DirListing* listing, const std::string& directory, const ScanSettings& settings,
         std::set<DirIdentity>& walked);

int walk_subdirectory(const std::string& path, const ScanSettings& settings,
                      std::set<DirIdentity>& walked) {
  const OpenedListing opened = open_listing(path);
  if (opened.listing == nullptr) {
    print_line("Could not open directory " + path + " skipping directory.\n");
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
      // FIFOs, sockets and devices are never opened: reading one could block
      // the run or never end.
      report(path, entry->kind == EntryKind::kFile
                       ? extract_track(path, settings.output_dir)
                       : ExtractResult{ExtractOutcome::kNoMusic, {}, {}});
    }
  }
  const int end_error = close_listing(listing);
  return result != 0 ? result : end_error;
}

}  // namespace

int scan_directory(const std::string& directory, const std::string& extension,
                   const std::string& output_dir, bool recurse) {
  const OpenedListing top = open_listing(directory);
  if (top.listing == nullptr) {
    return top.error;
  }
  std::set<DirIdentity> walked;
  if (top.identity) {
    walked.insert(*top.identity);
  }
  return walk(top.listing, directory, ScanSettings{extension, output_dir, recurse}, walked);
}

}  // namespace tolvane
