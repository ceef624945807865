// worker_curve WORKERS IN OUT: one walk of IN into OUT exactly as the tool
// runs it, but with WORKERS extraction threads, for the benchmark's curve of
// time against the number of workers (bench/run.py --curve). The tool itself
// has no such setting.
#include <cstdlib>
#include <string>

#include "scan/scan.h"

int main(int argc, char* argv[]) {
  if (argc != 4) {
    return 2;
  }
  const auto workers = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
  return tolvane::scan_directory(argv[2], "bin", argv[3], true, workers) == 0 ? 0 : 1;
}
