#include "extract/extract.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "extract/container.h"
#include "platform/file_io.h"
#include "extract/output_name.h"
#include "extract/payload_copy.h"

namespace tolvane {
namespace {

// Temporary names start with a dot, so a walk of the output directory skips
// them, and never end in .wav, so they cannot collide with a track.
constexpr std::string_view kTempPrefix = ".tolvanemusicextract-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr int kTempAttempts = 100;

struct TempName {
  NativeFile file;
  std::string path;
  int error;
};

// Finds a free temporary name in `output_dir` and has `take` claim it: `take`
// creates or links a file at the path it is given and reports whether
// something already stood there.
template <typename Take>
TempName take_temp_name(const std::string& output_dir, Take take) {
  // An empty directory would join to a path at the root of the file system.
  if (output_dir.empty()) {
    return {-1, {}, kNoSuchDirectoryError};
  }
  const std::string stem =
      join_path(output_dir, std::string(kTempPrefix) + std::to_string(current_process_id()) + "-");
  CreateResult taken{-1, 0, false};
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    std::string path = stem + std::to_string(attempt) + std::string(kTempSuffix);
    taken = take(path);
    if (!taken.already_exists) {
      return {taken.file, std::move(path), taken.error};
    }
  }
  return {-1, {}, taken.error};
}

// Makes the closed temporary file the track, unless `error` says it is not
// whole: then the temporary file goes and whatever had the track's name stays.
int finish_temp(const std::string& temp_path, int error, const std::string& output_path) {
  if (error == 0) {
    error = rename_replacing(temp_path, output_path);
  }
  if (error != 0) {
    remove_file(temp_path);
  }
  return error;
}

// The file's first bytes: the header, which holds the magic at its end, and
// the payload's first block, read in one go.
using FirstRead = std::array<char, kPayloadOffset + kCopyBlockSize>;

// Writes the payload to `output`: the `first_size - kPayloadOffset` bytes of
// it that `first` holds, then, if the first read filled `first`, the rest.
int copy_payload(NativeFile input, FirstRead& first, std::size_t first_size, NativeFile output) {
  char* const block = first.data() + kPayloadOffset;
  const int error = write_all(output, block, first_size - kPayloadOffset);
  // A first read shorter than `first` reached the end of the file.
  if (error != 0 || first_size < first.size()) {
    return error;
  }
  return copy_to_end(input, first.size(), output, CopyMethod::kKernelWhereOffered, block);
}

// Gives the whole, still unnamed `output` the track's name and closes it. A
// free name is taken at once; a name already in use (an earlier track, or a
// link) is replaced by way of a temporary name, as with a named output.
int publish_unnamed(NativeFile output, const std::string& output_dir,
                    const std::string& output_path) {
  const CreateResult linked = link_file(output, output_path);
  if (!linked.already_exists) {
    const int close_error = close_file(output);
    if (linked.error == 0 && close_error != 0) {
      remove_file(output_path);  // nothing stood there before
    }
    return linked.error != 0 ? linked.error : close_error;
  }
  const TempName temp = take_temp_name(
      output_dir, [output](const std::string& path) { return link_file(output, path); });
  const int close_error = close_file(output);
  if (temp.error != 0) {
    return temp.error;
  }
  return finish_temp(temp.path, close_error, output_path);
}

// Writes the payload to `output_path` so that the name only ever stands for
// a whole track: the payload goes to a file that has no name yet where the
// system offers one, or else to a temporary name, and takes the track's name
// once it is complete. Returns 0 or the error that stopped it.
int write_payload(NativeFile input, FirstRead& first, std::size_t first_size,
                  const std::string& output_dir, const std::string& output_path) {
  if (const std::optional<NativeFile> unnamed = create_unnamed_file(output_dir)) {
    const int error = copy_payload(input, first, first_size, *unnamed);
    if (error != 0) {
      close_file(*unnamed);  // an unnamed file is gone once closed
      return error;
    }
    return publish_unnamed(*unnamed, output_dir, output_path);
  }
  const TempName temp = take_temp_name(output_dir, create_new_file);
  if (temp.error != 0) {
    return temp.error;
  }
  const int error = copy_payload(input, first, first_size, temp.file);
  const int close_error = close_file(temp.file);
  return finish_temp(temp.path, error != 0 ? error : close_error, output_path);
}

ExtractResult extract_open_track(const InputFile& input, const std::string& output_dir) {
  FirstRead first;
  // Asking for no more than the file holds saves a read that would only find its end.
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(first.size(), input.size));
  const IoResult got = read_at(input.file, 0, first.data(), wanted);
  const std::string_view header(first.data(), std::min(got.bytes, kHeaderSize));
  // The magic is checked before the name, and nothing is created until both pass.
  if (got.error != 0 || !has_riff_magic(header)) {
    return {ExtractOutcome::kNoMusic, {}, {}};
  }
  const std::optional<std::string> name = read_track_name(header);
  if (!name) {
    return {ExtractOutcome::kNoMusic, {}, {}};
  }
  std::string output_path = join_path(output_dir, sanitize_track_name(track_name_text(*name)) + ".wav");
  const int error = write_payload(input.file, first, got.bytes, output_dir, output_path);
  if (error != 0) {
    return {ExtractOutcome::kWriteFailed, std::move(output_path), error_text(error)};
  }
  return {ExtractOutcome::kExtracted, std::move(output_path), {}};
}

}  // namespace

ExtractResult extract_track(const std::string& input_path, const std::string& output_dir) {
  const std::optional<InputFile> input = open_regular_file(input_path);
  if (!input) {
    return {ExtractOutcome::kNoMusic, {}, {}};
  }
  ExtractResult result = extract_open_track(*input, output_dir);
  close_file(input->file);
  return result;
}

}  // namespace tolvane
