// tolvanemusicextract IN OUT: writes the track of every track container found
// under IN to OUT as a .wav file. The exit status is 0 on every path; the
// console text tells how the run went.
#include <iostream>
#include <string>

#include "scan/scan.h"

namespace {

constexpr const char* kTrackExtension = "bin";

}  // namespace

int main(int argc, char* argv[]) {
  std::cout << "Tolvane Music Extractor 0.1\n"
            << "By Darnwick\n"
            << std::flush;
  if (argc != 3) {
    std::cout << "Usage: tolvanemusicextract.exe <input dir> <output dir>\n";
    return 0;
  }
  const bool recurse = true;
  const int result = tolvane::scan_directory(argv[1], kTrackExtension, argv[2], recurse);
  std::cout << (result == 0 ? "Extraction done!\nBy Darnwick.\n"
                            : "Error while opening directory.\n");
  return 0;
}
