#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_io.h"

namespace tolvane {

enum class ExtractOutcome {
  kExtracted,    // the payload now stands, whole, at output_path
  kNoMusic,      // not a track container, not a regular file, or unreadable
  kWriteFailed,  // a track container whose payload could not be written
};

struct ExtractResult {
  ExtractOutcome outcome;
  std::string output_path;  // set for kExtracted and kWriteFailed
  std::string reason;       // why, for kWriteFailed
};

/// The output directory, open, and its path as the user gave it. An error
/// here is every track's write failure.
struct OutputDir {
  std::string path;
  OrError<Directory> directory;
};

/// A track checked and copied, not yet under its name `file_name`.
struct StagedTrack {
  ExtractResult result;
  std::string file_name;
  StagedFile staged;
  std::uint64_t size;  // of the payload copied
};

/// Opens the candidate `name` in `directory`, and has the system start
/// reading it: the whole file, unless it is a long track.
std::optional<InputFile> open_track_input(const Directory& directory, const std::string& name);

/// True when `input` is longer than what its open reads ahead and its end is
/// not in memory. The rest of its payload then comes from the disk in one
/// long stream, which other reads from a spinning disk at the same time
/// would cut up with a seek each.
bool streams_from_disk(const InputFile& input);

/// Checks that `input` is a track container and copies its payload into a
/// staged file in `output`, then closes `input`. Names nothing, so several
/// files may be extracted at once; TrackNames::publish names it.
StagedTrack extract_track(std::optional<InputFile> input, const OutputDir& output);

}  // namespace tolvane
