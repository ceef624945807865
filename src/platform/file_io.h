// Files and directories, one source file per platform. Only the directories
// the user names are opened by path; all else by its name as listed, in its
// open directory. Error codes are the system's; 0 means none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tolvane {

/// '\' on Windows, '/' elsewhere: what joins the paths the console shows.
extern const char kPathSeparator;

/// A value, or the error that kept it from being made (then it is empty).
template <typename T>
struct OrError {
  T value;
  int error;
};

/// What a platform keeps of an open directory.
struct PlatformDirectory;

/// An open directory, to open its entries in. It closes with its last copy,
/// so a file still being extracted keeps its directory open.
using Directory = std::shared_ptr<const PlatformDirectory>;

/// Opens the directory at `path`, as the user named it.
OrError<Directory> open_directory(const std::string& path);

/// Raises the limit on open files as far as the system lets the process, and
/// returns the limit now: the largest number where the system sets none, 0
/// where it would not say.
std::size_t raise_open_file_limit();

/// What makes a file the same file under another name, or the same
/// directory reached through a link: device and inode, or volume serial
/// number and file index.
using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;

/// What stands at `name` in `directory`: a link itself, not what it leads
/// to; nothing when nothing does or the system would not say.
std::optional<FileIdentity> identity_at(const Directory& directory, const std::string& name);

/// The error StagedFile::publish gives when it may not replace what stands
/// at the name.
extern const int kNameTaken;

/// An open file: a descriptor on POSIX, a HANDLE on Windows.
using NativeFile = std::intptr_t;

struct InputFile {
  NativeFile file;
  std::uint64_t size;     // as it was when the file was opened
  std::int64_t modified;  // the modification time then, in the system's own units
};

/// Opens the regular file `name` in `directory` for reading, leaving others
/// free to use it, and has the system start reading its first `read_ahead`
/// bytes, and read the rest of a longer file in long requests, as one
/// stream. A FIFO, socket or device is refused without waiting on it.
std::optional<InputFile> open_regular_file(const Directory& directory, const std::string& name,
                                           std::uint64_t read_ahead);

/// True when the byte of `input` at `offset` is in memory, so that reading it
/// waits on no disk; false when it is not, or the system would not say.
bool in_memory(const InputFile& input, std::uint64_t offset);

/// True when the size or modification time of `input` differ from those at
/// its open, or can no longer be told.
bool changed_since_open(const InputFile& input);

/// Bytes moved, and the error that stopped it early (0: none).
struct IoResult {
  std::uint64_t bytes;
  int error;
};

/// Reads up to `size` bytes from `offset`; fewer only at the end of the file
/// or on an error.
IoResult read_at(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size);

/// Writes all `size` bytes at the end of `file`; returns 0 or the error.
int write_all(NativeFile file, const char* data, std::size_t size);

/// Cuts `file` to `size` bytes or extends it with zeros; returns 0 or the error.
int set_file_size(NativeFile file, std::uint64_t size);

/// Closes `file`; returns 0 or the error, a delayed write error included.
int close_file(NativeFile file);

/// The system's text for `error`, for console lines.
std::string error_text(int error);

/// A file that takes its name only once it is whole: until then it has none,
/// or a temporary one, and a run that is stopped leaves nothing behind.
class StagedFile {
 public:
  /// Stages a new, empty file in `directory`.
  static OrError<StagedFile> create(const Directory& directory);

  StagedFile() = default;
  StagedFile(StagedFile&& other) noexcept
      : file_(std::exchange(other.file_, kNoFile)),
        directory_(std::move(other.directory_)),
        temp_name_(std::exchange(other.temp_name_, {})),
        identity_(std::move(other.identity_)) {}
  /// Discards what this held.
  StagedFile& operator=(StagedFile other) noexcept {
    std::swap(file_, other.file_);
    std::swap(directory_, other.directory_);
    std::swap(temp_name_, other.temp_name_);
    std::swap(identity_, other.identity_);
    return *this;
  }
  /// Discards the file unless it was published.
  ~StagedFile() { discard(); }

  /// The open file, to write to and read back.
  NativeFile native() const { return file_; }

  /// Closes the file and gives it the name `name` in its directory; with
  /// `replace`, over a file or link there (the link, never its target).
  /// Returns the file's identity under its name, or the error: kNameTaken
  /// leaves the file staged, any other discards it; `name` stays as it was.
  OrError<FileIdentity> publish(const std::string& name, bool replace);

  /// Closes and removes the file.
  void discard();

 private:
  static constexpr NativeFile kNoFile = -1;
  /// Stages the open `file`, named `temp_name` or nothing, with its identity.
  static OrError<StagedFile> staged(NativeFile file, const Directory& directory,
                                    std::string temp_name);
  StagedFile(NativeFile file, Directory directory, std::string temp_name, FileIdentity identity)
      : file_(file),
        directory_(std::move(directory)),
        temp_name_(std::move(temp_name)),
        identity_(identity) {}

  NativeFile file_ = kNoFile;
  Directory directory_;
  std::string temp_name_;  // empty while the file has no name
  // Taken when staged, on the worker's thread: publishing is one at a time.
  FileIdentity identity_{};
};

}  // namespace tolvane
