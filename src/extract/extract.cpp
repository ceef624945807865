#include "extract/extract.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "extract/container.h"
#include "extract/file_io.h"
#include "extract/output_name.h"
#include "extract/payload_copy.h"

namespace tolvane {
namespace {

// Temporary names start with a dot, so a walk of the output directory skips
// them, and never end in .wav, so they cannot collide with a track.
constexpr std::string_view kTempPrefix = ".tolvanemusicextract-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr int kTempAttempts = 100;

struct TempFile {
  NativeFile file;
  std::string path;
  int error;
};

TempFile create_temp_file(const std::string& output_dir) {
  // An empty directory would join to a path at the root of the file system.
  if (output_dir.empty()) {
    return {-1, {}, kNoSuchDirectoryError};
  }
  const std::string stem =
      join_path(output_dir, std::string(kTempPrefix) + std::to_string(current_process_id()) + "-");
  CreateResult created{-1, 0, false};
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    std::string path = stem + std::to_string(attempt) + std::string(kTempSuffix);
    created = create_new_file(path);
    if (!created.already_exists) {
      return {created.file, std::move(path), created.error};
    }
  }
  return {-1, {}, created.error};
}

// The file's first bytes: the header, which holds the magic at its end, and
// the payload's first block, read in one go.
using FirstRead = std::array<char, kPayloadOffset + kCopyBlockSize>;

// Writes the payload, of which `first` holds the header and the first
// `first_size - kPayloadOffset` bytes, to `output_path` by way of a temporary
// file. Returns 0 or the error that stopped it.
int write_payload(NativeFile input, FirstRead& first, std::size_t first_size,
                  const std::string& output_dir, const std::string& output_path) {
  const TempFile temp = create_temp_file(output_dir);
  if (temp.error != 0) {
    return temp.error;
  }
  char* const block = first.data() + kPayloadOffset;
  int error = write_all(temp.file, block, first_size - kPayloadOffset);
  // A short first read is the end of the file; after a full one, more may follow.
  if (error == 0 && first_size == first.size()) {
    error = copy_to_end(input, first.size(), temp.file, CopyMethod::kKernelWhereOffered, block);
  }
  const int close_error = close_file(temp.file);
  if (error == 0) {
    error = close_error;
  }
  if (error == 0) {
    error = rename_replacing(temp.path, output_path);
  }
  if (error != 0) {
    remove_file(temp.path);
  }
  return error;
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
  std::string output_path = join_path(output_dir, sanitize_track_name(*name) + ".wav");
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
