#pragma once

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
  std::string reason;       // the system's text for the failure, for kWriteFailed
};

/// A track checked and copied, but not yet under its name. `result` tells
/// what publish_track will report; for kExtracted, `staged` holds the whole
/// payload, waiting to take the name `file_name` (the last part of
/// `result.output_path`).
struct PreparedTrack {
  ExtractResult result;
  std::string file_name;
  StagedFile staged;
};

/// Where the tracks go: the output directory, opened once for every track,
/// and its path as the user gave it, for the console.
struct OutputDir {
  std::string path;
  OpenedDirectory opened;  // a failure here is every track's write failure
};

/// Opens the output directory at `path`. It must exist; it is never created.
OutputDir open_output_dir(const std::string& path);

/// Opens the candidate `name` in `directory` for prepare_track and asks the
/// system to start reading its first bytes, so that they can come in while
/// other files are worked on. Returns nothing when it cannot be opened or is
/// not a regular file.
std::optional<InputFile> open_track_input(const Directory& directory, const std::string& name);

/// Checks whether `input`, opened by open_track_input, is a track container
/// and, if it is, copies its RIFF payload into a staged output in `output`
/// (see StagedFile), to be named after the track, made safe by
/// sanitize_track_name, plus ".wav". Closes `input`. Touches no name in the
/// output directory, so calls for different files may run on several
/// threads at once. A file that is not a track container creates nothing.
PreparedTrack prepare_track(std::optional<InputFile> input, const OutputDir& output);

/// Gives a prepared track its name: a free name is taken, an earlier track of
/// the same name is replaced whole. A failure leaves no partial file and an
/// earlier .wav of that name as it was. Tracks are published in the order in
/// which a later one should win.
ExtractResult publish_track(PreparedTrack track);

/// Extracts the track of the file at `input_path` (its directory, the
/// separator, its name) into `output_dir` at once.
ExtractResult extract_track(const std::string& input_path, const std::string& output_dir);

}  // namespace tolvane
