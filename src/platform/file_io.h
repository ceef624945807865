// The file operations the scan and the extraction need, one source file per
// platform (file_io_posix.cpp, file_io_win32.cpp). Paths are narrow strings:
// bytes passed to the system as they are on POSIX; UTF-8 on Windows, handed
// to the wide calls (in extended-length form when they are long). Error codes
// are the system's own (errno, or GetLastError on Windows); 0 means no error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

/// Bytes moved by one call, and the error that stopped it early (0: none).
struct IoResult {
  std::size_t bytes;
  int error;
};

struct CreateResult {
  NativeFile file;
  int error;            // 0 when `file` is open
  bool already_exists;  // something, a link included, already stands at the path
};

struct InputFile {
  NativeFile file;
  std::uint64_t size;  // as it was when the file was opened
};

/// Opens `path` for reading, leaving others free to read and write it, if it
/// is a regular file once links are followed. A FIFO, socket or device is
/// refused without waiting on it and without reading from it. Returns nothing
/// when the file is refused or cannot be opened.
std::optional<InputFile> open_regular_file(const std::string& path);

/// Reads up to `size` bytes from `offset`. Fewer arrive only at the end of
/// the file or when an error stops the read.
IoResult read_at(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size);

/// Bytes the kernel copied, the error that stopped it (0: none), and whether
/// it declined to go on, leaving the rest to be copied by reading and writing.
struct KernelCopyResult {
  std::uint64_t bytes;
  int error;
  bool declined;
};

/// Copies `input` from `offset` to its end onto the end of `output` inside
/// the kernel, without passing the bytes through this process, where the
/// system offers that (copy_file_range on Linux). Elsewhere, and wherever
/// the kernel will not copy between these two files, declines at once.
KernelCopyResult kernel_copy_to_end(NativeFile input, std::uint64_t offset, NativeFile output);

/// Creates a new, empty file at `path` for writing. Fails when anything
/// already stands there; never writes through an existing file or link.
CreateResult create_new_file(const std::string& path);

/// Creates a file in `directory` that has no name, and so cannot be seen or
/// opened by anyone, until link_file gives it one, where the system offers
/// that (O_TMPFILE on Linux). Returns nothing where it does not, or when the
/// file cannot be created; create_new_file then does the work.
std::optional<NativeFile> create_unnamed_file(const std::string& directory);

/// Gives `file`, made by create_unnamed_file, the name `path`. Fails, with
/// already_exists, when anything, a link included, stands at `path`.
CreateResult link_file(NativeFile file, const std::string& path);

/// Writes all `size` bytes at the current end of `file`. Returns 0 or the error.
int write_all(NativeFile file, const char* data, std::size_t size);

/// Closes `file`. Returns 0 or the error the close reported (a delayed write
/// error included).
int close_file(NativeFile file);

/// Renames the file `from` to `to`, replacing a file or link at `to` (the
/// link itself, never its target). Returns 0 or the error.
int rename_replacing(const std::string& from, const std::string& to);

/// Removes the file at `path`, if it can.
void remove_file(const std::string& path);

/// The system's text for `error`, for console lines.
std::string error_text(int error);

/// A track name from a container, `raw` bytes, as text of the tool's paths:
/// on Windows, the bytes read as UTF-8 where they are UTF-8 and as the ANSI
/// code page's text otherwise, in UTF-8; elsewhere the bytes as they are.
std::string track_name_text(std::string_view raw);

/// This process's id, to keep the temporary files of concurrent runs apart.
unsigned long current_process_id();

}  // namespace tolvane
