// The built executable, run as a user runs it: whole console output, byte for byte.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extract/file_io.h"
#include "run_tool.h"
#include "support.h"

namespace tolvane {
namespace {

// Console text with its line ends as the platform's console delivers them.
std::string console(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c == '\n' ? std::string(test::kConsoleNewline) : std::string(1, c);
  }
  return out;
}

const std::string kBanner = "Tolvane Music Extractor 0.1\nBy Darnwick\n";
const std::string kDone = "Extraction done!\nBy Darnwick.\n";

class CliTest : public testing::Test {
 protected:
  test::ToolRun run(const std::vector<std::string>& args) {
    return test::run_tool(TOLVANE_TOOL_PATH, args, scratch_.path().string());
  }
  test::ScratchDir scratch_;
};

TEST_F(CliTest, AnyArgumentCountButTwoPrintsUsage) {
  const std::string usage =
      console(kBanner + "Usage: tolvanemusicextract.exe <input dir> <output dir>\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"one"}, {"one", "two", "three"}}) {
    SCOPED_TRACE(args.size());
    const test::ToolRun result = run(args);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, usage);
    EXPECT_EQ(result.err, "");
  }
}

TEST_F(CliTest, ExtractsATreeAndSaysSo) {
  const test::fs::path top = scratch_.path() / "in";
  test::fs::create_directories(top / "sub");
  test::fs::create_directories(scratch_.path() / "out");
  test::write_file(top / "sub" / "a.bin", test::make_container("Theme", test::riff_payload(70000)));
  test::write_file(top / "sub" / "b.bin", "not a container");

  const std::string in = scratch_.at("in");
  const std::string sub = join_path(in, "sub");
  const test::ToolRun result = run({in, scratch_.at("out")});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  const std::string a = "Extracted music from " + join_path(sub, "a.bin") + "\n";
  const std::string b = "No music in " + join_path(sub, "b.bin") + " skipping file.\n";
  // The two files may come in either order: the listing's, not ours.
  if (result.out != console(kBanner + b + a + kDone)) {
    EXPECT_EQ(result.out, console(kBanner + a + b + kDone));
  }
  EXPECT_EQ(test::read_file(scratch_.path() / "out" / "Theme.wav"), test::riff_payload(70000));
}

TEST_F(CliTest, ClosingMessageTellsSuccessFromAnUnlistableInput) {
  test::fs::create_directories(scratch_.path() / "empty");
  const test::ToolRun empty = run({scratch_.at("empty"), scratch_.at("out")});
  EXPECT_EQ(empty.exit_status, 0);
  EXPECT_EQ(empty.out, console(kBanner + kDone));

  const test::ToolRun missing = run({scratch_.at("missing"), scratch_.at("out")});
  EXPECT_EQ(missing.exit_status, 0);
  EXPECT_EQ(missing.out, console(kBanner + "Error while opening directory.\n"));
  EXPECT_EQ(missing.err, "");
}

}  // namespace
}  // namespace tolvane
