// tolvanemusicextract IN OUT: writes the track of every track container found
// under IN to OUT as a .wav file. The exit status is 0 on every path; the
// console text tells how the run went.
#include <string>
#include <vector>

#include "platform/console.h"
#include "scan/scan.h"

namespace {

constexpr const char* kTrackExtension = "bin";
// Threads that extract while the walk goes on. Reading and writing wait on
// the disk more than on the cores, so more workers than cores pay off when
// the tree is not in the page cache yet (see the README's benchmark).
constexpr unsigned kExtractionWorkers = 8;

}  // namespace

int main(int argc, char* argv[]) {
  tolvane::print("Tolvane Music Extractor 0.1\nBy Darnwick\n");
  const std::vector<std::string> args = tolvane::command_line_arguments(argc, argv);
  if (args.size() != 3) {
    tolvane::print("Usage: tolvanemusicextract.exe <input dir> <output dir>\n");
    return 0;
  }
  const bool recurse = true;
  const int result =
      tolvane::scan_directory(args[1], kTrackExtension, args[2], recurse, kExtractionWorkers);
  tolvane::print(result == 0 ? "Extraction done!\nBy Darnwick.\n"
                             : "Error while opening directory.\n");
  return 0;
}
