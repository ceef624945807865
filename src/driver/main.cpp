// tolvanemusicextract IN OUT: writes the track of every track container found
// under IN to OUT as a .wav file. The exit status is 0 on every path; the
// console text tells how the run went.
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/console.h"
#include "scan/scan.h"
#include "version.h"

namespace {

constexpr const char* kTrackExtension = "bin";

// One extraction thread per core, within bounds the benchmark chose: more
// threads than cores only wait on each other, even on a cold disk, as each
// worker has its next files read ahead.
unsigned extraction_workers() {
  return std::clamp(std::thread::hardware_concurrency(), 2U, 8U);
}

}  // namespace

int main(int argc, char* argv[]) {
  tolvane::print(std::string("Tolvane Music Extractor ") + tolvane::kVersion + "\nBy Darnwick\n");
  const std::vector<std::string> args = tolvane::command_line_arguments(argc, argv);
  if (args.size() != 3) {
    tolvane::print("Usage: tolvanemusicextract.exe <input dir> <output dir>\n");
  } else {
    const bool recurse = true;
    const int result =
        tolvane::scan_directory(args[1], kTrackExtension, args[2], recurse, extraction_workers());
    tolvane::print(result == 0 ? "Extraction done!\nBy Darnwick.\n"
                               : "Error while opening directory.\n");
  }
  tolvane::keep_console_open();
  return 0;
}
