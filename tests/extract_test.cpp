#include "extract/extract.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "support.h"

namespace tolvane {
namespace {

using test::fs::path;
constexpr char kSep = test::kSeparator;

class ExtractTest : public testing::Test {
 protected:
  ExtractTest() { test::fs::create_directory(scratch_.path() / "out"); }

  std::string out() const { return scratch_.at("out"); }
  path out_path(const std::string& name) const { return scratch_.path() / "out" / name; }

  // Writes `bytes` as in.bin and extracts it.
  ExtractResult extract(const std::string& bytes, const std::string& output_dir) {
    test::write_file(scratch_.path() / "in.bin", bytes);
    return test::extract_file(scratch_.at("in.bin"), output_dir);
  }
  ExtractResult extract(const std::string& bytes) { return extract(bytes, out()); }

  test::ScratchDir scratch_;
};

// Around the edges of the first 32000-byte block and of the larger blocks
// after it.
TEST_F(ExtractTest, CopiesThePayloadByteForByteAcrossBlockBoundaries) {
  for (const std::size_t size :
       {4, 5, 31999, 32000, 32001, 64000, 294143, 294144, 294145, 556289}) {
    SCOPED_TRACE(size);
    const std::string payload = test::riff_payload(size);
    const ExtractResult result = extract(test::make_container("Theme", payload));
    EXPECT_EQ(result.outcome, ExtractOutcome::kExtracted);
    EXPECT_EQ(result.output_path, out() + kSep + "Theme.wav");
    EXPECT_EQ(test::read_file(out_path("Theme.wav")), payload);
  }
  EXPECT_EQ(test::list_names(out()), std::vector<std::string>{"Theme.wav"});
}

TEST_F(ExtractTest, NameFieldBoundaries) {
  const std::string payload = test::riff_payload(100);
  const std::string longest(42, 'n');  // its NUL stands at offset 271
  EXPECT_EQ(extract(test::make_container(longest, payload)).outcome, ExtractOutcome::kExtracted);
  EXPECT_EQ(test::read_file(out_path(longest + ".wav")), payload);

  EXPECT_EQ(extract(test::make_container("", payload)).outcome, ExtractOutcome::kExtracted);
  EXPECT_EQ(test::read_file(out_path(".wav")), payload);

  // Bytes after the NUL are left-overs, not part of the name.
  EXPECT_EQ(extract(test::make_container("A", payload, 'z')).outcome, ExtractOutcome::kExtracted);
  EXPECT_EQ(test::read_file(out_path("A.wav")), payload);

  const std::vector<std::string> before = test::list_names(out());
  const ExtractResult unterminated =
      extract(test::make_container_with_field(std::string(43, 'n'), payload));
  EXPECT_EQ(unterminated.outcome, ExtractOutcome::kNoMusic);
  EXPECT_EQ(test::list_names(out()), before);
}

TEST_F(ExtractTest, RejectsFilesWithoutRiffAtThePayloadOffset) {
  const std::string good = test::make_container("T", test::riff_payload(64));
  const std::vector<std::string> rejected = {
      test::make_container("T", "riff" + std::string(60, 'x')),
      test::make_container("T", "RIFX" + std::string(60, 'x')),
      "RIFF" + std::string(500, 'x'),  // RIFF at offset 0 only
      good.substr(0, 275),             // magic cut short
      good.substr(0, 272),
      "",
  };
  for (const std::string& bytes : rejected) {
    SCOPED_TRACE(bytes.size());
    EXPECT_EQ(extract(bytes).outcome, ExtractOutcome::kNoMusic);
  }
  EXPECT_EQ(test::extract_file(scratch_.at("missing.bin"), out()).outcome,
            ExtractOutcome::kNoMusic);
  EXPECT_TRUE(test::list_names(out()).empty());
  // The shortest container: exactly 276 bytes, a 4-byte payload.
  EXPECT_EQ(extract(good.substr(0, 276)).outcome, ExtractOutcome::kExtracted);
  EXPECT_EQ(test::read_file(out_path("T.wav")), "RIFF");
}

TEST_F(ExtractTest, RejectedFileNeverTouchesAnEarlierTrack) {
  test::write_file(out_path("T.wav"), "earlier track");
  EXPECT_EQ(extract(test::make_container("T", "RIFX-not-a-track")).outcome,
            ExtractOutcome::kNoMusic);
  EXPECT_EQ(
      extract(test::make_container_with_field("T" + std::string(42, 'x'), "RIFF....")).outcome,
      ExtractOutcome::kNoMusic);
  EXPECT_EQ(test::read_file(out_path("T.wav")), "earlier track");
}

// Each call is a run of its own: a track of an earlier run is replaced.
TEST_F(ExtractTest, ATrackOfAnEarlierRunIsReplacedWhole) {
  test::write_file(out_path("T.wav"), std::string(100000, 'e'));
  const std::string first = test::riff_payload(40000);
  const std::string second = test::riff_payload(10);
  ASSERT_EQ(extract(test::make_container("T", first)).outcome, ExtractOutcome::kExtracted);
  EXPECT_EQ(test::read_file(out_path("T.wav")), first);
  ASSERT_EQ(extract(test::make_container("T", second)).outcome, ExtractOutcome::kExtracted);
  EXPECT_EQ(test::read_file(out_path("T.wav")), second);
  EXPECT_EQ(test::list_names(out()), std::vector<std::string>{"T.wav"});
}

// Containers in walk order, as (track name, payload) pairs, give these files.
// A name this run has written is numbered, a copy of a track passed over is
// written once, and anything else at a name is replaced, never written through.
TEST_F(ExtractTest, ATrackNeverReplacesAnotherOfTheSameRun) {
  const std::string a = test::riff_payload(5000);
  const std::string b = test::riff_payload(5001);
  const std::string c = "RIFF" + std::string(4996, 'c');  // as long as a, other bytes
  const std::string d = test::riff_payload(70000);
  const std::string e = "RIFF" + std::string(9, 'e');
  test::write_file(out_path("y (2).wav"), "an earlier run's");
  test::fs::create_directory(out_path("dir (2).wav"));
#ifndef _WIN32
  test::write_file(scratch_.path() / "victim", "precious");
  test::fs::create_symlink(scratch_.path() / "victim", out_path("z (2).wav"));
#endif
  const std::vector<std::pair<std::string, std::string>> walk = {
      {"x", a},           {"x", b},   {"x", a},    {"x (2)", c}, {"X", d},    {"x", c},
      {"y", a},           {"y", b},   {"z", a},    {"z", b},     {"", a},     {"", b},
      {"CON", a},         {"CON", b}, {"Song", a}, {"song", b},  {"SONG", c}, {"caf\xC3\xA9", a},
      {"CAF\xC3\x89", b}, {"dir", a}, {"dir", b}};
  std::vector<std::pair<std::string, std::string>> files = {
      {" (2).wav", b},        {".wav", a},
      {"X.wav", d},           {"_CON (2).wav", b},
      {"_CON.wav", a},        {"x (2) (2).wav", c},
      {"x (2).wav", b},       {"x (3).wav", c},
      {"x.wav", a},           {"y (2).wav", b},
      {"y.wav", a},           {"z (2).wav", b},
      {"z.wav", a},           {"Song.wav", a},
      {"song.wav", b},        {"SONG.wav", c},
      {"caf\xC3\xA9.wav", a}, {"CAF\xC3\x89.wav", b},
      {"dir.wav", a}};
  if (test::kNamesIgnoreCase) {
    // X, song, SONG and CAFÉ find the names of x, Song and café written.
    files = {{" (2).wav", b},        {".wav", a},
             {"X (3).wav", d},       {"_CON (2).wav", b},
             {"_CON.wav", a},        {"x (2) (2).wav", c},
             {"x (2).wav", b},       {"x (4).wav", c},
             {"x.wav", a},           {"y (2).wav", b},
             {"y.wav", a},           {"z (2).wav", b},
             {"z.wav", a},           {"Song.wav", a},
             {"song (2).wav", b},    {"SONG (3).wav", c},
             {"caf\xC3\xA9.wav", a}, {"CAF\xC3\x89 (2).wav", b},
             {"dir.wav", a}};
  }

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first run" : "rerun into the same directory");
    const OutputDir output{out(), open_directory(out())};
    TrackNames names(output);
    std::vector<std::string> failed;
    for (const auto& [name, payload] : walk) {
      test::write_file(scratch_.path() / "in.bin", test::make_container(name, payload));
      const Directory in = open_directory(scratch_.path().u8string()).value;
      const ExtractResult result =
          names.publish(extract_track(open_track_input(in, "in.bin"), output));
      if (result.outcome != ExtractOutcome::kExtracted) {
        failed.push_back(result.output_path);
      }
    }
    // A directory cannot be replaced: the line names the numbered file.
    EXPECT_EQ(failed, std::vector<std::string>{out() + kSep + "dir (2).wav"});
    std::vector<std::string> expected_names = {"dir (2).wav"};
    for (const auto& [file, payload] : files) {
      EXPECT_TRUE(test::read_file(scratch_.path() / "out" / test::fs::u8path(file)) == payload)
          << file;
      expected_names.push_back(test::fs::u8path(file).string());
    }
    std::sort(expected_names.begin(), expected_names.end());
    EXPECT_EQ(test::list_names(out()), expected_names);
  }
#ifndef _WIN32
  EXPECT_EQ(test::read_file(scratch_.path() / "victim"), "precious");
#endif
}

// The file is opened ahead of its copy, as the walk does, and changed before
// the copy ends: cut short, grown, or rewritten with bytes of the same size.
// What stood under the track's name before stays as it was.
TEST_F(ExtractTest, AFileThatChangesWhileItIsReadIsNotPublished) {
  const path in = scratch_.path() / "in.bin";
  const std::string container = test::make_container("T", test::riff_payload(100000));
  const std::pair<const char*, void (*)(const path&)> changes[] = {
      {"cut", [](const path& file) { test::fs::resize_file(file, 50000); }},
      {"grown", [](const path& file) { test::fs::resize_file(file, 200000); }},
      {"rewritten", [](const path& file) {
         test::write_file(file, test::make_container("T", test::riff_payload(100000)));
       }}};
  test::write_file(out_path("T.wav"), "earlier track");
  const OutputDir output{out(), open_directory(out())};
  TrackNames names(output);
  for (const auto& [what, change] : changes) {
    SCOPED_TRACE(what);
    test::write_file(in, container);
    test::fs::last_write_time(in, test::fs::last_write_time(in) - std::chrono::hours(1));
    const std::optional<InputFile> input =
        open_track_input(open_directory(scratch_.path().u8string()).value, "in.bin");
    ASSERT_TRUE(input.has_value());
    change(in);
    const ExtractResult result = names.publish(extract_track(input, output));
    EXPECT_EQ(result.outcome, ExtractOutcome::kWriteFailed);
    EXPECT_EQ(result.reason, "the file changed while it was read");
    EXPECT_EQ(test::list_names(out()), std::vector<std::string>{"T.wav"});
    EXPECT_EQ(test::read_file(out_path("T.wav")), "earlier track");
  }
}

TEST_F(ExtractTest, HostileNamesStayInsideTheOutputDirectory) {
  const std::string payload = test::riff_payload(50);
  const std::vector<std::pair<std::string, std::string>> names = {{"../escaped", ".._escaped.wav"},
                                                                  {"/abs", "_abs.wav"},
                                                                  {R"(..\up)", ".._up.wav"},
                                                                  {"C:x", "C_x.wav"},
                                                                  {"..", "...wav"},
                                                                  {"CON", "_CON.wav"},
                                                                  {"a\nb", "a_b.wav"}};
  for (const auto& [name, file] : names) {
    SCOPED_TRACE(name);
    const ExtractResult result = extract(test::make_container(name, payload));
    EXPECT_EQ(result.outcome, ExtractOutcome::kExtracted);
    EXPECT_EQ(result.output_path, out() + kSep + file);
    EXPECT_EQ(test::read_file(out_path(file)), payload);
  }
  EXPECT_EQ(test::list_names(out()).size(), names.size());
  EXPECT_EQ(test::list_names(scratch_.path()), (std::vector<std::string>{"in.bin", "out"}));
}

TEST_F(ExtractTest, TrailingSeparatorOnTheOutputDirectoryIsKept) {
  const ExtractResult result =
      extract(test::make_container("T", test::riff_payload(8)), out() + kSep);
  EXPECT_EQ(result.outcome, ExtractOutcome::kExtracted);
  EXPECT_EQ(result.output_path, out() + kSep + kSep + "T.wav");
  EXPECT_EQ(test::read_file(out_path("T.wav")), test::riff_payload(8));
}

TEST_F(ExtractTest, WriteFailuresAreReportedAndLeaveNothingBehind) {
  const std::string container = test::make_container("T", test::riff_payload(70000));

  const ExtractResult missing = extract(container, scratch_.at("no-such-dir"));
  EXPECT_EQ(missing.outcome, ExtractOutcome::kWriteFailed);
  EXPECT_EQ(missing.output_path, scratch_.at("no-such-dir") + kSep + "T.wav");
  EXPECT_EQ(missing.reason, test::kNoSuchDirectory);

  // An empty output directory must not turn into the file system's root.
  const ExtractResult empty = extract(container, "");
  EXPECT_EQ(empty.outcome, ExtractOutcome::kWriteFailed);
  EXPECT_EQ(empty.reason, test::kNoSuchDirectory);

  // The final rename fails when a directory holds the track's name: the
  // temporary copy goes, the directory stays as it was.
  test::fs::create_directory(out_path("T.wav"));
  test::write_file(out_path("T.wav") / "keep", "kept");
  const ExtractResult blocked = extract(container);
  EXPECT_EQ(blocked.outcome, ExtractOutcome::kWriteFailed);
  EXPECT_EQ(test::list_names(out()), std::vector<std::string>{"T.wav"});
  EXPECT_EQ(test::read_file(out_path("T.wav") / "keep"), "kept");
}

// A run killed mid-copy leaves no temporary file behind.
TEST(StagedFile, VanishesWhenTheProcessDiesBeforePublishing) {
  // A fixed directory, not a ScratchDir's random one: on Windows the child
  // that dies runs the test from its start again, and must stage in the same
  // place.
  const test::fs::path directory = test::fs::temp_directory_path() / "tolvane-staged-file-test";
  test::fs::remove_all(directory);
  test::fs::create_directory(directory);
  EXPECT_EXIT(
      {
        OrError<StagedFile> staged = StagedFile::create(open_directory(directory.u8string()).value);
        (void)write_all(staged.value.native(), "partial", 7);
        std::_Exit(staged.error == 0 ? 3 : 4);
      },
      testing::ExitedWithCode(3), "");
  EXPECT_TRUE(test::list_names(directory).empty());
  test::fs::remove_all(directory);
}

}  // namespace
}  // namespace tolvane
