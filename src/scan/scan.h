#pragma once

#include <string>

namespace tolvane {

/// Walks `directory` depth-first and offers every file whose extension text
/// (what follows the last '.', or the whole name when it has none) equals
/// `extension`, byte for byte, to the extraction with `output_dir`, printing
/// one line per offered file. Entries whose names begin with '.' are skipped;
/// subdirectories (links to directories included) are walked when `recurse`
/// is set, each directory at most once per walk. A subdirectory that cannot
/// be listed gets a line of its own and is passed over.
///
/// The walk runs on the calling thread; `workers` threads (at least one)
/// extract the files it offers. Tracks are published and lines printed in
/// the order of the walk, so the console and the output directory end up
/// exactly as with one worker, whatever their number.
///
/// Returns, once every offered file is done, 0 when the walk ended normally,
/// or the system's error code when `directory` itself could not be listed or
/// any listing ended with an error; such an error ends the whole walk.
int scan_directory(const std::string& directory, const std::string& extension,
                   const std::string& output_dir, bool recurse, unsigned workers);

}  // namespace tolvane
