#pragma once

#include <string>

namespace tolvane {

/// Walks `directory` depth-first, and for every file whose extension text
/// (what follows the last '.', or the whole name) is `extension`, extracts
/// its track into `output_dir` and prints its line, on `workers` threads but
/// in the order of the walk. Names that begin with '.' are skipped, and
/// subdirectories walked when `recurse` is set, each at most once. Returns
/// 0, or the system's error code when `directory` could not be listed or a
/// listing ended with an error, which ends the walk.
int scan_directory(const std::string& directory, const std::string& extension,
                   const std::string& output_dir, bool recurse, unsigned workers);

}  // namespace tolvane
