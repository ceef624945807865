#include "support.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "scan/scan.h"

namespace tolvane::test {

ScratchDir::ScratchDir() {
  std::random_device random;
  for (;;) {
    path_ = fs::temp_directory_path() / ("tolvane-test-" + std::to_string(random()));
    if (fs::create_directory(path_)) {
      break;
    }
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string riff_payload(std::size_t size) {
  std::string payload = "RIFF";
  payload.reserve(size);
  for (std::size_t i = payload.size(); i < size; ++i) {
    payload.push_back(static_cast<char>((i * 31 + i / 32000 * 7) & 0xFF));
  }
  payload.resize(size);
  return payload;
}

std::string make_container(std::string_view name, std::string_view payload, char leftover) {
  std::string field(name);
  field.push_back('\0');
  field.resize(43, leftover);
  return make_container_with_field(field, payload);
}

std::string make_container_with_field(std::string_view field, std::string_view payload) {
  std::string bytes(229, '\x7F');
  bytes.append(field).append(payload);
  return bytes;
}

void write_file(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

void evict_from_memory(const fs::path& path) {
#ifndef _WIN32
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0) << path;
  ::fdatasync(fd);
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
#else
  (void)path;  // Windows keeps what it reads; the tool cannot tell, and takes it as not in memory.
#endif
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> list_names(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

ExtractResult extract_file(const std::string& input_path, const std::string& output_dir) {
  const fs::path input = fs::u8path(input_path);
  const OutputDir output{output_dir, open_directory(output_dir)};
  const Directory directory = open_directory(input.parent_path().u8string()).value;
  TrackNames names(output);
  return names.publish(
      extract_track(open_track_input(directory, input.filename().u8string()), output));
}

std::string scan_output(const std::string& input_dir, const std::string& output_dir, bool recurse,
                        int* result, unsigned workers) {
  testing::internal::CaptureStdout();
  const int code = scan_directory(input_dir, "bin", output_dir, recurse, workers);
  if (result != nullptr) {
    *result = code;
  }
  return testing::internal::GetCapturedStdout();
}

}  // namespace tolvane::test
