#include "extract/extract.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>

#include "extract/container.h"
#include "extract/output_name.h"

namespace tolvane {
namespace {

// The header, which ends with the magic, and the payload's first block.
constexpr std::size_t kFirstReadSize = kPayloadOffset + kCopyBlockSize;

// A file up to this size is read ahead whole, so that the files of a run are
// read one after another, each in one piece.
constexpr std::uint64_t kReadAheadSize = std::uint64_t{1} << 20;

// What the rest of a payload is copied through: page-aligned blocks of this
// size copy as fast as the kernel's own copy does (README, Benchmark).
struct alignas(4096) LargeBlock {
  std::array<char, std::size_t{256} * 1024> bytes;
};

// Closes the input on every way out of extract_track.
struct CloseOnExit {
  NativeFile file;
  ~CloseOnExit() { close_file(file); }
};

// Appends `length` bytes of `input` from `offset` to `output`; fewer where
// the file ends sooner or an error stops the copy.
IoResult copy_rest(NativeFile input, std::uint64_t offset, std::uint64_t length,
                   NativeFile output) {
  const std::unique_ptr<LargeBlock> block(new LargeBlock);
  IoResult copied{0, 0};
  while (copied.bytes < length) {
    const auto wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(block->bytes.size(), length - copied.bytes));
    const IoResult got = read_at(input, offset + copied.bytes, block->bytes.data(), wanted);
    const int write_error = write_all(output, block->bytes.data(), got.bytes);
    copied.bytes += got.bytes;
    copied.error = write_error != 0 ? write_error : got.error;
    if (copied.error != 0 || got.bytes < wanted) {
      break;
    }
  }
  return copied;
}

StagedTrack no_music() {
  return {{ExtractOutcome::kNoMusic, {}, {}}, {}, {}, 0};
}

StagedTrack write_failed(std::string output_path, std::string reason) {
  return {{ExtractOutcome::kWriteFailed, std::move(output_path), std::move(reason)}, {}, {}, 0};
}

}  // namespace

std::optional<InputFile> open_track_input(const Directory& directory, const std::string& name) {
  return open_regular_file(directory, name, kReadAheadSize);
}

bool streams_from_disk(const InputFile& input) {
  return input.size > kReadAheadSize && !in_memory(input, input.size - 1);
}

StagedTrack extract_track(std::optional<InputFile> input, const OutputDir& output) {
  if (!input) {
    return no_music();
  }
  const CloseOnExit close{input->file};

  // Check: the magic before the name, and nothing is created until both pass.
  std::array<char, kFirstReadSize> first;
  const IoResult got =
      read_at(input->file, 0, first.data(), std::min<std::uint64_t>(first.size(), input->size));
  if (got.error != 0 || got.bytes < kPayloadOffset + kMagic.size() ||
      std::string_view(first.data() + kPayloadOffset, kMagic.size()) != kMagic) {
    return no_music();
  }
  const std::string_view field(first.data() + kNameOffset, kNameFieldSize);
  const std::size_t name_size = field.find('\0');
  if (name_size == std::string_view::npos) {
    return no_music();
  }
  std::string file_name = sanitize_track_name(track_name_text(field.substr(0, name_size))) + ".wav";
  std::string output_path = output.path + kPathSeparator + file_name;

  // Stage: the payload as the file stood at its open.
  if (output.directory.error != 0) {
    return write_failed(std::move(output_path), error_text(output.directory.error));
  }
  OrError<StagedFile> staged = StagedFile::create(output.directory.value);
  if (staged.error != 0) {
    return write_failed(std::move(output_path), error_text(staged.error));
  }
  const NativeFile staged_file = staged.value.native();
  const std::uint64_t length = input->size - kPayloadOffset;
  // Sized first, a short file's last page need not be zeroed. Only a hint:
  // some drives refuse it (vfat through FUSE); the writes make the file.
  (void)set_file_size(staged_file, length);

  // Copy, then make sure that what was copied is still the file.
  const std::uint64_t first_part = got.bytes - kPayloadOffset;
  IoResult copied{first_part, write_all(staged_file, first.data() + kPayloadOffset, first_part)};
  if (copied.error == 0 && copied.bytes < length) {
    const IoResult rest = copy_rest(input->file, got.bytes, length - copied.bytes, staged_file);
    copied = {copied.bytes + rest.bytes, rest.error};
  }
  if (copied.error != 0) {
    return write_failed(std::move(output_path), error_text(copied.error));
  }
  if (copied.bytes != length || changed_since_open(*input)) {
    return write_failed(std::move(output_path), "the file changed while it was read");
  }
  return {{ExtractOutcome::kExtracted, std::move(output_path), {}},
          std::move(file_name),
          std::move(staged.value),
          length};
}

}  // namespace tolvane
