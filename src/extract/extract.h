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
/// payload, waiting to take the name `result.output_path`.
struct PreparedTrack {
  ExtractResult result;
  StagedFile staged;
};

/// Opens the candidate at `input_path` for prepare_track and asks the system
/// to start reading its first bytes, so that they can come in while other
/// files are worked on. Returns nothing when it cannot be opened or is not a
/// regular file.
std::optional<InputFile> open_track_input(const std::string& input_path);

/// prepare_track for an input opened by open_track_input, which it closes.
PreparedTrack prepare_track(std::optional<InputFile> input, const std::string& output_dir);

/// Checks whether `input_path` is a track container and, if it is, copies
/// its RIFF payload into a staged output in `output_dir` (see StagedFile),
/// to be named after the track, made safe by sanitize_track_name, plus
/// ".wav". Touches no name in `output_dir`, so calls for different files may
/// run on several threads at once. A file that is not a track container
/// creates nothing.
PreparedTrack prepare_track(const std::string& input_path, const std::string& output_dir);

/// Gives a prepared track its name: a free name is taken, an earlier track of
/// the same name is replaced whole. A failure leaves no partial file and an
/// earlier .wav of that name as it was. Tracks are published in the order in
/// which a later one should win.
ExtractResult publish_track(PreparedTrack track);

/// Prepares and publishes the track of `input_path` at once. The output
/// directory must exist; it is never created.
ExtractResult extract_track(const std::string& input_path, const std::string& output_dir);

}  // namespace tolvane
