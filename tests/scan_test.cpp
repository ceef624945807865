#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

namespace tolvane {
namespace {

using test::fs::path;
constexpr char kSep = test::kSeparator;

class ScanTest : public testing::Test {
 protected:
  ScanTest() {
    test::fs::create_directories(scratch_.path() / "in");
    test::fs::create_directories(scratch_.path() / "out");
  }

  // Writes a file under in/, a track container named `track` unless that is empty.
  void add(const path& relative, const std::string& track = {}) {
    const path file = scratch_.path() / "in" / relative;
    test::fs::create_directories(file.parent_path());
    test::write_file(file, track.empty() ? std::string(300, 'x')
                                         : test::make_container(track, test::riff_payload(40)));
  }

  // `parts` below "in", as the console shows them.
  std::string in(const std::vector<std::string>& parts = {}) const {
    std::string joined = scratch_.at("in");
    for (const std::string& part : parts) {
      joined += kSep + part;
    }
    return joined;
  }
  std::string out() const { return scratch_.at("out"); }

  test::ScratchDir scratch_;
};

TEST_F(ScanTest, OffersExactlyTheFilesWhoseExtensionTextIsBin) {
  add("bin", "NoDot");          // no dot: the whole name is the extension text
  add("a.tar.bin", "LastDot");  // only the part after the last dot counts
  add("TRACK.BIN", "Upper");    // case matters
  add("a.bin.bak", "Backup");
  add("music.bin/inner.bin");       // a directory named like a candidate is walked
  add(".hidden.bin", "Hidden");     // dot names are skipped ...
  add(".store/deep.bin", "Store");  // ... directories included
  add("notes.txt");

  int result = -1;
  const std::string output = test::scan_output(in(), out(), true, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(test::sorted_lines(output),
            test::sorted_lines("Extracted music from " + in({"bin"}) + "\n" +
                               "Extracted music from " + in({"a.tar.bin"}) + "\n" + "No music in " +
                               in({"music.bin", "inner.bin"}) + " skipping file.\n"));
  EXPECT_EQ(test::list_names(out()), (std::vector<std::string>{"LastDot.wav", "NoDot.wav"}));
}

TEST_F(ScanTest, WalksEveryLevelOrOnlyTheTopOne) {
  add("top.bin", "Top");
  add("a/b/c/deep.bin", "Deep");
  EXPECT_EQ(test::sorted_lines(test::scan_output(in(), out())),
            test::sorted_lines("Extracted music from " + in({"a", "b", "c", "deep.bin"}) + "\n" +
                               "Extracted music from " + in({"top.bin"}) + "\n"));
  // Tracks from every level land directly in the output directory.
  EXPECT_EQ(test::list_names(out()), (std::vector<std::string>{"Deep.wav", "Top.wav"}));

  EXPECT_EQ(test::scan_output(in(), out(), false),
            "Extracted music from " + in({"top.bin"}) + "\n");
}

TEST_F(ScanTest, KeepsATrailingSeparatorAsGiven) {
  add("sub/a.bin");
  const std::string top = in() + kSep;
  EXPECT_EQ(test::scan_output(top, out()),
            "No music in " + top + kSep + "sub" + kSep + "a.bin skipping file.\n");
}

TEST_F(ScanTest, EmptyTreeIsQuietAndMissingTopIsAnError) {
  test::fs::create_directories(scratch_.path() / "in" / "empty" / "emptier");
  int result = -1;
  EXPECT_EQ(test::scan_output(in(), out(), true, &result), "");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(test::scan_output(scratch_.at("missing"), out(), true, &result), "");
  EXPECT_NE(result, 0);
}

TEST_F(ScanTest, AFailedWriteGetsItsLineAndTheWalkGoesOn) {
  add("a/one.bin", "One");
  add("two.bin", "Two");
  const std::string missing = scratch_.at("no-out");
  int result = -1;
  const std::string output = test::scan_output(in(), missing, true, &result);
  EXPECT_EQ(result, 0);
  const std::string reason = test::kNoSuchDirectory;
  EXPECT_EQ(test::sorted_lines(output),
            test::sorted_lines("Could not write music from " + in({"a", "one.bin"}) + " to " +
                               missing + kSep + "One.wav" + ": " + reason + "\n" +
                               "Could not write music from " + in({"two.bin"}) + " to " + missing +
                               kSep + "Two.wav" + ": " + reason + "\n"));
}

// Workers finish files in any order; the console and the output directory
// must not show it. Many tracks of one name, large ones among small ones, a
// track whose name is blocked by a directory, and files that are no track:
// every run must print what one worker prints and leave the same files.
TEST_F(ScanTest, ManyWorkersPrintAndPublishExactlyAsOne) {
  for (int i = 0; i < 120; ++i) {
    const path file = path("d" + std::to_string(i % 3)) / ("f" + std::to_string(i) + ".bin");
    const std::string payload = test::riff_payload(i % 10 == 0 ? 300000 + i : 40 + i);
    const char* track = i % 4 == 0 ? "Same" : (i == 50 ? "Blocked" : "");
    test::fs::create_directories(scratch_.path() / "in" / file.parent_path());
    test::write_file(scratch_.path() / "in" / file,
                     i % 7 == 3
                         ? std::string("no track")
                         : test::make_container(*track ? track : "t" + std::to_string(i), payload));
  }
  const auto run = [this](unsigned workers) {
    const path out = scratch_.path() / ("out" + std::to_string(workers));
    test::fs::create_directories(out / "Blocked.wav");
    std::string console = test::scan_output(in(), out.string(), true, nullptr, workers);
    std::vector<std::string> files;
    for (const std::string& name : test::list_names(out)) {
      files.push_back(name + ":" +
                      std::to_string(test::fs::is_directory(out / name)
                                         ? 0
                                         : test::read_file(out / name).size()));
    }
    // The console names the output directory; make the runs comparable.
    for (std::size_t at; (at = console.find(out.string())) != std::string::npos;) {
      console.replace(at, out.string().size(), "OUT");
    }
    return std::make_pair(console, files);
  };
  const auto one = run(1);
  ASSERT_NE(one.first.find("Could not write music from"), std::string::npos);
  ASSERT_NE(one.first.find("No music in"), std::string::npos);
  for (const unsigned workers : {2U, 8U, 16U}) {
    SCOPED_TRACE(workers);
    EXPECT_EQ(run(workers), one);
  }
}

}  // namespace
}  // namespace tolvane
