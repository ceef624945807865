#include "extract/extract.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "extract/container.h"
#include "extract/file_io.h"
#include "extract/output_name.h"

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

// Streams the payload, from kPayloadOffset to the end of the input, through
// one block of kCopyBlockSize bytes. Returns 0 or the read or write error.
int copy_payload(NativeFile input, NativeFile output) {
  std::array<char, kCopyBlockSize> block;
  std::uint64_t offset = kPayloadOffset;
  for (;;) {
    const IoResult got = read_at(input, offset, block.data(), block.size());
    if (got.error != 0) {
      return got.error;
    }
    if (got.bytes > 0) {
      const int error = write_all(output, block.data(), got.bytes);
      if (error != 0) {
        return error;
      }
    }
    if (got.bytes < block.size()) {
      return 0;
    }
    offset += got.bytes;
  }
}

int write_payload(NativeFile input, const std::string& output_dir, const std::string& output_path) {
  const TempFile temp = create_temp_file(output_dir);
  if (temp.error != 0) {
    return temp.error;
  }
  int error = copy_payload(input, temp.file);
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

ExtractResult extract_open_track(NativeFile input, const std::string& output_dir) {
  std::array<char, kHeaderSize> header;
  const IoResult got = read_at(input, 0, header.data(), header.size());
  const std::string_view header_bytes(header.data(), got.bytes);
  // The magic is checked before the name, and nothing is created until both pass.
  if (got.error != 0 || !has_riff_magic(header_bytes)) {
    return {ExtractOutcome::kNoMusic, {}, {}};
  }
  const std::optional<std::string> name = read_track_name(header_bytes);
  if (!name) {
    return {ExtractOutcome::kNoMusic, {}, {}};
  }
  std::string output_path = join_path(output_dir, sanitize_track_name(*name) + ".wav");
  const int error = write_payload(input, output_dir, output_path);
  if (error != 0) {
    return {ExtractOutcome::kWriteFailed, std::move(output_path), error_text(error)};
  }
  return {ExtractOutcome::kExtracted, std::move(output_path), {}};
}

}  // namespace

ExtractResult extract_track(const std::string& input_path, const std::string& output_dir) {
  const std::optional<NativeFile> input = open_regular_file(input_path);
  if (!input) {
    return {ExtractOutcome::kNoMusic, {}, {}};
  }
  ExtractResult result = extract_open_track(*input, output_dir);
  close_file(*input);
  return result;
}

}  // namespace tolvane
