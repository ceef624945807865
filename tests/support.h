// Helpers shared by the tests: scratch directories, files and container bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "extract/extract.h"
#include "extract/track_names.h"

namespace tolvane::test {

namespace fs = std::filesystem;

/// What the tool joins paths with on the console, the system's reason for a
/// directory that is not there (on Windows, as Wine words it), whether the
/// test's drive takes Song.wav and SONG.wav for one name, and whether a file
/// name may hold control characters and bytes that are not UTF-8.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline constexpr const char* kNoSuchDirectory = "Path not found";
inline constexpr bool kNamesIgnoreCase = true;
inline constexpr bool kNamesHoldAnyByte = false;
#else
inline constexpr char kSeparator = '/';
inline constexpr const char* kNoSuchDirectory = "No such file or directory";
inline constexpr bool kNamesIgnoreCase = false;
inline constexpr bool kNamesHoldAnyByte = true;
#endif

/// A fresh directory under the system's temporary directory, removed with
/// everything in it when the test ends.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const fs::path& path() const { return path_; }
  /// `relative` under the scratch directory, as the tool's narrow string
  /// (UTF-8 on Windows).
  std::string at(const fs::path& relative) const { return (path_ / relative).u8string(); }

 private:
  fs::path path_;
};

/// A RIFF payload of `size` bytes (at least 4): "RIFF", then bytes that differ
/// from block to block so a misplaced block shows.
std::string riff_payload(std::size_t size);

/// A track container: leading data, `name` and a NUL (the rest of the field
/// filled with `leftover`), then `payload`.
std::string make_container(std::string_view name, std::string_view payload, char leftover = '\0');

/// A container whose 43-byte name field is given whole, NUL or not.
std::string make_container_with_field(std::string_view field, std::string_view payload);

void write_file(const fs::path& path, std::string_view bytes);

/// Has the system drop the bytes of the file at `path` from memory, where it
/// can, so that the next read of it goes to the disk.
void evict_from_memory(const fs::path& path);
std::string read_file(const fs::path& path);

/// The names of the entries directly in `directory`, sorted.
std::vector<std::string> list_names(const fs::path& directory);

/// Splits console text into lines (ends kept off) and sorts them, for walks
/// whose order the file system decides.
std::vector<std::string> sorted_lines(const std::string& text);

/// Extracts the track of the file at `input_path` into `output_dir`, as a
/// worker and then the retiring thread do, as a run of its own.
ExtractResult extract_file(const std::string& input_path, const std::string& output_dir);

/// Runs scan_directory for "bin" with `workers` threads and returns what it printed.
std::string scan_output(const std::string& input_dir, const std::string& output_dir,
                        bool recurse = true, int* result = nullptr, unsigned workers = 4);

}  // namespace tolvane::test
