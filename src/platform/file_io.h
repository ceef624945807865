// The file operations the scan and the extraction need, one source file per
// platform (file_io_posix.cpp, file_io_win32.cpp). Only the two directories
// the user names are opened by path; everything else is opened by its name,
// exactly as its directory's listing gave it, in an open Directory. Names and
// paths are narrow strings: bytes as they are on POSIX, UTF-8 on Windows.
// Error codes are the system's own (errno, or GetLastError on Windows); 0
// means no error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tolvane {

/// The directory separator that joins paths: '\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

/// The system's error code for a directory that does not exist.
extern const int kNoSuchDirectoryError;

/// `directory`, one separator, `name`. Nothing is normalised: a directory that
/// already ends in a separator gets a second one.
inline std::string join_path(const std::string& directory, const std::string& name) {
  std::string path;
  path.reserve(directory.size() + 1 + name.size());
  path.append(directory).append(1, kPathSeparator).append(name);
  return path;
}

/// An open file: a descriptor on POSIX, a HANDLE on Windows.
using NativeFile = std::intptr_t;

/// An open directory, in which files and subdirectories are opened by name:
/// on POSIX a descriptor, so that neither the depth of a tree nor the length
/// of its paths matters; on Windows the directory's extended-length path
/// (\\?\C:\...), to which names are joined as they are, so that no name is
/// parsed again (CON.bin, "dot.") and no length limit applies. Copies share
/// one handle, released with the last of them: a file still being extracted
/// keeps its directory open after the walk has moved on.
class Directory {
 public:
  struct Handle;  // the platform's own, in directory_posix.h or directory_win32.h

  /// No directory: everything opened in it fails.
  Directory() = default;
  explicit Directory(std::shared_ptr<Handle> handle) : handle_(std::move(handle)) {}

  Handle* handle() const { return handle_.get(); }

 private:
  std::shared_ptr<Handle> handle_;
};

struct OpenedDirectory {
  Directory directory;  // open exactly when error is 0
  int error;
};

/// Opens the directory at `path`, as the user named it (on Windows resolved
/// once against the current directory; a trailing separator is allowed).
OpenedDirectory open_directory(const std::string& path);

/// Opens the subdirectory `name` of `parent`; a link to a directory is followed.
OpenedDirectory open_directory(const Directory& parent, const std::string& name);

/// Raises the limit on open files as far as the system lets the process, as
/// a walk keeps one directory open per level of the tree (POSIX: the soft
/// limit to the hard one); elsewhere does nothing.
void raise_open_file_limit();

/// Bytes moved by one call, and the error that stopped it early (0: none).
struct IoResult {
  std::size_t bytes;
  int error;
};

struct InputFile {
  NativeFile file;
  std::uint64_t size;     // as it was when the file was opened
  std::int64_t modified;  // the modification time then, in the system's own units
};

/// Opens the file `name` in `directory` for reading, leaving others free to
/// read and write it, if it is a regular file once links are followed. A
/// FIFO, socket or device is refused without waiting on it and without
/// reading from it. Returns nothing when the file is refused or cannot be
/// opened.
std::optional<InputFile> open_regular_file(const Directory& directory, const std::string& name);

/// True when the size or modification time of `input` differ from what they
/// were at its open, or can no longer be told.
bool changed_since_open(const InputFile& input);

/// Asks the system to start reading the first `size` bytes of `file` into
/// its cache, without waiting for them (Linux); elsewhere does nothing.
void prefetch(NativeFile file, std::uint64_t size);

/// Reads up to `size` bytes from `offset`. Fewer arrive only at the end of
/// the file or when an error stops the read.
IoResult read_at(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size);

/// Writes all `size` bytes at the current end of `file`. Returns 0 or the error.
int write_all(NativeFile file, const char* data, std::size_t size);

/// Sets the size of `file`, open for writing: cut, or extended with zeros.
/// Returns 0 or the error.
int set_file_size(NativeFile file, std::uint64_t size);

/// Closes `file`. Returns 0 or the error the close reported (a delayed write
/// error included).
int close_file(NativeFile file);

/// An output file that exists under its final name only once it is whole.
/// It is made in the output directory with no name that anyone could open
/// (Linux: O_TMPFILE) or under a temporary name that begins with a dot and
/// does not end in .wav (Windows, and Linux file systems without O_TMPFILE),
/// written, then published under its name or discarded. On Linux with
/// O_TMPFILE, and on Windows where the file is marked for deletion until it is
/// published, a process that dies before publishing leaves nothing behind.
struct StagedOutput;

class StagedFile {
 public:
  /// Stages a new, empty file in `directory`.
  static StagedOutput create(const Directory& directory);

  StagedFile() = default;
  StagedFile(StagedFile&& other) noexcept { *this = std::move(other); }
  StagedFile& operator=(StagedFile&& other) noexcept {
    if (this != &other) {
      discard();
      file_ = other.release();
      directory_ = std::move(other.directory_);
      temp_name_ = std::exchange(other.temp_name_, {});
    }
    return *this;
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  /// Discards the file unless it was published.
  ~StagedFile() { discard(); }

  bool is_open() const { return file_ != kNoFile; }
  /// The open file, to be written through write_all.
  NativeFile file() const { return file_; }

  /// Gives the whole file the name `name` in its directory and closes it: a
  /// free name is taken, and a file or link already there is replaced (the
  /// link itself, never its target). Returns 0, or the error; then the file
  /// is discarded and whatever stood at `name` stays as it was.
  int publish(const std::string& name);

  /// Closes and removes the file.
  void discard();

 private:
  static constexpr NativeFile kNoFile = -1;
  StagedFile(NativeFile file, Directory directory, std::string temp_name)
      : file_(file), directory_(std::move(directory)), temp_name_(std::move(temp_name)) {}
  NativeFile release() { return std::exchange(file_, kNoFile); }

  NativeFile file_ = kNoFile;
  Directory directory_;
  std::string temp_name_;  // empty while the file has no name
};

struct StagedOutput {
  StagedFile file;  // open exactly when error is 0
  int error;
};

/// The system's text for `error`, for console lines.
std::string error_text(int error);

}  // namespace tolvane
