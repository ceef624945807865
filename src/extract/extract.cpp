#include "extract/extract.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "extract/container.h"
#include "extract/output_name.h"
#include "extract/payload_copy.h"

namespace tolvane {
namespace {

// What a large payload moves per read and write once its first block is
// done. Page-aligned blocks of 128 KiB and more copy a large track at offset
// 272 as fast as the kernel's own copy does; 256 KiB keeps the buffers of
// eight workers copying at once under 2 MiB together.
constexpr std::size_t kLargeCopyBlockSize = std::size_t{256} * 1024;
constexpr std::size_t kPageSize = 4096;

// The file's first bytes: the header, which holds the magic at its end, and
// the payload's first block, read in one go.
using FirstRead = std::array<char, kPayloadOffset + kCopyBlockSize>;

// Appends `length` bytes of `input` from `offset` on through a page-aligned
// buffer of its own, released when the copy is done.
CopyResult copy_rest(NativeFile input, std::uint64_t offset, std::uint64_t length,
                     NativeFile output) {
  std::size_t space = kLargeCopyBlockSize + kPageSize;
  const std::unique_ptr<char[]> storage(new char[space]);
  void* aligned = storage.get();
  std::align(kPageSize, kLargeCopyBlockSize, aligned, space);
  return copy_range(input, offset, length, output, static_cast<char*>(aligned),
                    kLargeCopyBlockSize);
}

PreparedTrack no_music() {
  return {{ExtractOutcome::kNoMusic, {}, {}}, {}, {}};
}

PreparedTrack write_failed(std::string output_path, std::string reason) {
  return {{ExtractOutcome::kWriteFailed, std::move(output_path), std::move(reason)}, {}, {}};
}

PreparedTrack prepare_open_track(const InputFile& input, const OutputDir& output_dir) {
  FirstRead first;
  // Asking for no more than the file holds saves a read that would only find its end.
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(first.size(), input.size));
  const IoResult got = read_at(input.file, 0, first.data(), wanted);
  const std::string_view header(first.data(), std::min(got.bytes, kHeaderSize));
  // The magic is checked before the name, and nothing is created until both pass.
  if (got.error != 0 || !has_riff_magic(header)) {
    return no_music();
  }
  const std::optional<std::string> name = read_track_name(header);
  if (!name) {
    return no_music();
  }
  std::string file_name = sanitize_track_name(track_name_text(*name)) + ".wav";
  std::string output_path = join_path(output_dir.path, file_name);

  StagedOutput staged = output_dir.opened.error != 0
                            ? StagedOutput{{}, output_dir.opened.error}
                            : StagedFile::create(output_dir.opened.directory);
  const NativeFile output = staged.file.file();
  // The payload as the file stood at its open: a file that changes while it
  // is copied is not published, however it changed.
  const std::uint64_t expected = input.size - kPayloadOffset;
  // Given its size first, the file system need not zero the rest of the page
  // a short file's bytes go to. Only a hint: some drives refuse it (vfat
  // through FUSE), and the writes alone make the file.
  if (staged.error == 0) {
    (void)set_file_size(output, expected);
  }
  int error = staged.error;
  std::uint64_t written = got.bytes - kPayloadOffset;
  if (error == 0) {
    error = write_all(output, first.data() + kPayloadOffset, got.bytes - kPayloadOffset);
  }
  if (error == 0 && written < expected) {
    const CopyResult rest =
        copy_rest(input.file, kPayloadOffset + written, expected - written, output);
    error = rest.error;
    written += rest.bytes;
  }
  if (error != 0) {
    return write_failed(std::move(output_path), error_text(error));
  }
  if (written != expected || changed_since_open(input)) {
    return write_failed(std::move(output_path), "the file changed while it was read");
  }
  return {{ExtractOutcome::kExtracted, std::move(output_path), {}},
          std::move(file_name),
          std::move(staged.file)};
}

}  // namespace

OutputDir open_output_dir(const std::string& path) {
  return {path, open_directory(path)};
}

std::optional<InputFile> open_track_input(const Directory& directory, const std::string& name) {
  std::optional<InputFile> input = open_regular_file(directory, name);
  if (input) {
    prefetch(input->file, std::min<std::uint64_t>(input->size, kPayloadOffset + kCopyBlockSize));
  }
  return input;
}

PreparedTrack prepare_track(std::optional<InputFile> input, const OutputDir& output) {
  if (!input) {
    return no_music();
  }
  PreparedTrack track = prepare_open_track(*input, output);
  close_file(input->file);
  return track;
}

ExtractResult publish_track(PreparedTrack track) {
  if (track.result.outcome == ExtractOutcome::kExtracted) {
    const int error = track.staged.publish(track.file_name);
    if (error != 0) {
      return {ExtractOutcome::kWriteFailed, std::move(track.result.output_path), error_text(error)};
    }
  }
  return std::move(track.result);
}

ExtractResult extract_track(const std::string& input_path, const std::string& output_dir) {
  const std::size_t separator = input_path.rfind(kPathSeparator);
  const OpenedDirectory directory = separator == std::string::npos
                                        ? open_directory(".")
                                        : open_directory(input_path.substr(0, separator));
  const std::string name =
      separator == std::string::npos ? input_path : input_path.substr(separator + 1);
  return publish_track(
      prepare_track(open_track_input(directory.directory, name), open_output_dir(output_dir)));
}

}  // namespace tolvane
