// Feeds arbitrary bytes to the extraction as a container file and checks
// what it did against the container's rules, written out here on their own:
// a track is extracted exactly when the bytes are a container; then the
// output directory holds one new file, named by the output name rule (after
// the name is read as text), whose bytes are bytes 272 to the end of the
// input; otherwise it stays empty.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "extract/extract.h"
#include "extract/output_name.h"
#include "extract/track_names.h"
#include "fuzz_check.h"
#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace {

struct Workspace {
  fs::path input;
  fs::path output_dir;
};

const Workspace& workspace() {
  // Never destroyed, so the exit handler below can still use it.
  static const Workspace* const instance = [] {
    const fs::path top = fs::temp_directory_path() / ("tolvane-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(top / "out");
    return new Workspace{top / "in.bin", top / "out"};
  }();
  static const bool cleanup_registered = std::atexit([] {
                                           std::error_code ignored;
                                           fs::remove_all(instance->input.parent_path(), ignored);
                                         }) == 0;
  (void)cleanup_registered;
  return *instance;
}

// The track name when `bytes` are a track container: "RIFF" at 272, and a
// NUL somewhere from 229 to 271 ending the name.
std::optional<std::string> container_name(std::string_view bytes) {
  if (bytes.size() < 276 || bytes.substr(272, 4) != "RIFF") {
    return std::nullopt;
  }
  const std::size_t nul = bytes.substr(229, 43).find('\0');
  if (nul == std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(bytes.substr(229, nul));
}

std::string read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer calls.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Workspace& work = workspace();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(work.input, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  const tolvane::OutputDir output{work.output_dir.string(),
                                  tolvane::open_directory(work.output_dir.string())};
  const tolvane::Directory input_dir = tolvane::open_directory(work.input.parent_path()).value;
  tolvane::TrackNames names(output);
  const tolvane::ExtractResult result = names.publish(tolvane::extract_track(
      tolvane::open_track_input(input_dir, work.input.filename().string()), output));

  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(work.output_dir)) {
    files.push_back(entry.path());
  }
  const std::optional<std::string> name = container_name(bytes);
  if (!name) {
    FUZZ_CHECK(result.outcome == tolvane::ExtractOutcome::kNoMusic);
    FUZZ_CHECK(files.empty());
    return 0;
  }
  FUZZ_CHECK(result.outcome == tolvane::ExtractOutcome::kExtracted);
  FUZZ_CHECK(files.size() == 1);
  const std::string file_name = files[0].filename().string();
  // Names that are not UTF-8 are read as Windows-1252 text first; that
  // decoding has its own tests.
  FUZZ_CHECK(file_name == tolvane::sanitize_track_name(tolvane::track_name_text(*name)) + ".wav");
  FUZZ_CHECK(file_name.find_first_of("/\\") == std::string::npos);
  FUZZ_CHECK(result.output_path == work.output_dir.string() + "/" + file_name);
  FUZZ_CHECK(read_all(files[0]) == bytes.substr(272));
  fs::remove(files[0]);
  return 0;
}
