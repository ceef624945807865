#pragma once

#include <string>

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

/// Copies the RIFF payload of the track container at `input_path` into
/// `output_dir`, in a .wav file named after the track (made safe by
/// sanitize_track_name). The payload is written to a file in `output_dir`
/// that has no name yet, or a temporary one, and takes the .wav's name only
/// once it is whole, so a failure leaves no partial file and an earlier .wav
/// of that name as it was. A file
/// that is not a track container never creates or touches any output. The
/// output directory must exist; it is never created.
ExtractResult extract_track(const std::string& input_path, const std::string& output_dir);

}  // namespace tolvane
