// The walk over listings that fail, and over listings whose files lie on the
// disk in any order, from the fake listing.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fake_dir_listing.h"
#include "scan/scan.h"
#include "support.h"

namespace tolvane {
namespace {

constexpr char kSep = test::kSeparator;
constexpr EntryKind kDir = EntryKind::kDirectory;
constexpr EntryKind kFile = EntryKind::kFile;

fake::FakeDir listing(std::vector<DirEntry> entries, int end_error = 0,
                      std::optional<DirIdentity> identity = std::nullopt) {
  fake::FakeDir dir;
  dir.entries = std::move(entries);
  dir.end_error = end_error;
  dir.identity = identity;
  return dir;
}

fake::FakeDir unopenable(int error) {
  fake::FakeDir dir;
  dir.open_error = error;
  return dir;
}

// The files named here do not exist, so each offered one gets "No music in".
std::string no_music(const std::string& path) {
  return "No music in " + path + " skipping file.\n";
}

class ScanFaultTest : public testing::Test {
 protected:
  // The listed directories are fakes; files, where a test writes them, are real.
  ScanFaultTest() : in_(scratch_.at("in")), sub_(in_ + kSep + "sub"), deep_(sub_ + kSep + "deep") {
    fake::reset();
  }
  ~ScanFaultTest() override { EXPECT_EQ(fake::listings_opened, fake::listings_closed); }

  test::ScratchDir scratch_;
  const std::string in_, sub_, deep_;
};

TEST_F(ScanFaultTest, AListingErrorClimbsThroughEveryLevelAndEndsTheWalk) {
  fake::directories[in_] =
      listing({{"z.bin", kFile}, {".", kDir}, {"sub", kDir}, {"after.bin", kFile}});
  fake::directories[sub_] = listing({{"a.bin", kFile}, {"deep", kDir}, {"b.bin", kFile}});
  fake::directories[deep_] = listing({{"c.bin", kFile}}, 1117);
  // A large track first, so that it is still being copied when the error comes.
  const std::vector<std::pair<std::string, std::size_t>> files = {{in_ + kSep + "z.bin", 3000000},
                                                                  {sub_ + kSep + "a.bin", 10},
                                                                  {deep_ + kSep + "c.bin", 10},
                                                                  {in_ + kSep + "after.bin", 10}};
  for (const auto& [file, size] : files) {
    test::fs::create_directories(test::fs::u8path(file).parent_path());
    test::write_file(
        test::fs::u8path(file),
        test::make_container(test::fs::u8path(file).stem().u8string(), test::riff_payload(size)));
  }
  test::fs::create_directories(scratch_.path() / "out");

  int result = 0;
  const std::string output = test::scan_output(in_, scratch_.at("out"), true, &result, 4);
  EXPECT_EQ(result, 1117);
  // Every file offered before the failed listing ends finishes, in the
  // listing's own order, and nothing after it is offered.
  EXPECT_EQ(output, "Extracted music from " + files[0].first + "\n" + "Extracted music from " +
                        files[1].first + "\n" + "Extracted music from " + files[2].first + "\n");
  EXPECT_EQ(test::list_names(scratch_.path() / "out"),
            (std::vector<std::string>{"a.wav", "c.wav", "z.wav"}));
  EXPECT_EQ(test::read_file(scratch_.path() / "out" / "z.wav"), test::riff_payload(3000000));
  EXPECT_EQ(fake::listings_opened, 3);
}

TEST_F(ScanFaultTest, ListingsThatCannotBeOpened) {
  fake::directories[in_] = listing({{"sub", kDir}, {"gone", kDir}, {"x.bin", kFile}});
  fake::directories[sub_] = unopenable(13);

  int result = -1;
  const std::string output = test::scan_output(in_, "out", true, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(output, "Could not open directory " + sub_ + " skipping directory.\n" +
                        "Could not open directory " + in_ + kSep + "gone" +
                        " skipping directory.\n" + no_music(in_ + kSep + "x.bin"));

  fake::directories[in_].open_error = 5;
  EXPECT_EQ(test::scan_output(in_, "out", true, &result), "");
  EXPECT_EQ(result, 5);
}

TEST_F(ScanFaultTest, ADirectoryReachedAgainIsNotWalkedAgain) {
  const DirIdentity top{1, 10};
  const DirIdentity shared{1, 20};
  fake::directories[in_] = listing({{"sub", kDir}, {"link", kDir}, {"up", kDir}}, 0, top);
  fake::directories[sub_] = listing({{"a.bin", kFile}, {"back", kDir}}, 0, shared);
  fake::directories[sub_ + kSep + "back"] = listing({{"never.bin", kFile}}, 0, top);
  fake::directories[in_ + kSep + "link"] = listing({{"never.bin", kFile}}, 0, shared);
  // Without an identity there is nothing to compare: the directory is walked.
  fake::directories[in_ + kSep + "up"] = listing({{"u.bin", kFile}});

  int result = -1;
  EXPECT_EQ(test::scan_output(in_, "out", true, &result),
            no_music(sub_ + kSep + "a.bin") + no_music(in_ + kSep + "up" + kSep + "u.bin"));
  EXPECT_EQ(result, 0);
}

// The files are read in the order they lie on the disk, which the listing
// tells; the lines, the names tracks get and what they hold must not show
// it. Tracks share names across folders, one holds the bytes of another, one
// is long enough to be read as a stream of its own, and one is no track.
TEST_F(ScanFaultTest, TheOrderOnDiskChangesNothingThatIsSeen) {
  const std::string payload_a = test::riff_payload(100);
  const std::string payload_b = test::riff_payload(200);
  const std::string payload_long = test::riff_payload(1200000);
  const struct {
    std::string path;
    std::string bytes;
  } files[] = {{sub_ + kSep + "x.bin", test::make_container("x", payload_a)},
               {sub_ + kSep + "y.bin", test::make_container("theme", payload_b)},
               {sub_ + kSep + "big.bin", test::make_container("theme", payload_long)},
               {sub_ + kSep + "bad.bin", "no track"},
               {deep_ + kSep + "x.bin", test::make_container("x", payload_a)},
               {deep_ + kSep + "x2.bin", test::make_container("x (2)", payload_b)},
               {deep_ + kSep + "t.bin", test::make_container("theme", payload_a)},
               {in_ + kSep + "solo.bin", test::make_container("solo", payload_b)}};
  for (const auto& file : files) {
    test::fs::create_directories(test::fs::u8path(file.path).parent_path());
    test::write_file(test::fs::u8path(file.path), file.bytes);
  }
  const std::string lines =
      "Extracted music from " + files[0].path + "\n" + "Extracted music from " + files[1].path +
      "\n" + "Extracted music from " + files[2].path + "\n" + no_music(files[3].path) +
      "Extracted music from " + files[4].path + "\n" + "Extracted music from " + files[5].path +
      "\n" + "Extracted music from " + files[6].path + "\n" + "Extracted music from " +
      files[7].path + "\n";
  const std::vector<std::pair<std::string, std::string>> tracks = {
      {"solo.wav", payload_b},  {"theme (2).wav", payload_long}, {"theme (3).wav", payload_a},
      {"theme.wav", payload_b}, {"x (2).wav", payload_b},        {"x.wav", payload_a}};

  // Where each file lies, in the order above: the listing's own, backwards,
  // across the folders, unknown, and in ties.
  const std::vector<std::vector<std::uint64_t>> orders = {{1, 2, 3, 4, 5, 6, 7, 8},
                                                          {8, 7, 6, 5, 4, 3, 2, 1},
                                                          {5, 1, 7, 3, 8, 2, 6, 4},
                                                          {0, 0, 0, 0, 0, 0, 0, 0},
                                                          {9, 9, 1, 9, 1, 1, 9, 1}};
  for (std::size_t run = 0; run < orders.size(); ++run) {
    SCOPED_TRACE(run);
    const std::vector<std::uint64_t>& at = orders[run];
    fake::directories[in_] = listing({{"sub", kDir, 0}, {"solo.bin", kFile, at[7]}});
    fake::directories[sub_] = listing({{"x.bin", kFile, at[0]},
                                       {"y.bin", kFile, at[1]},
                                       {"big.bin", kFile, at[2]},
                                       {"bad.bin", kFile, at[3]},
                                       {"deep", kDir, 0}});
    fake::directories[deep_] =
        listing({{"x.bin", kFile, at[4]}, {"x2.bin", kFile, at[5]}, {"t.bin", kFile, at[6]}});
    const test::fs::path out = scratch_.path() / ("out" + std::to_string(run));
    test::fs::create_directories(out);
    test::evict_from_memory(test::fs::u8path(files[2].path));

    EXPECT_EQ(test::scan_output(in_, out.u8string()), lines);
    std::vector<std::pair<std::string, std::string>> written;
    for (const std::string& name : test::list_names(out)) {
      written.emplace_back(name, test::read_file(out / name));
    }
    EXPECT_EQ(written, tracks);
  }
}

}  // namespace
}  // namespace tolvane
