// The built executable, run as a user runs it: whole console output, byte for byte.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_tool.h"
#include "support.h"

namespace tolvane {
namespace {

constexpr char kSep = test::kSeparator;

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

// The whole console text of a run that printed `lines`, in the order in which
// `out` holds them: the listing's order, which the file system decides.
std::string console_in_listing_order(const std::string& out, std::vector<std::string> lines) {
  const auto at = [&out](const std::string& line) { return out.find(console(line)); };
  std::sort(lines.begin(), lines.end(),
            [&at](const std::string& a, const std::string& b) { return at(a) < at(b); });
  std::string text = kBanner;
  for (const std::string& line : lines) {
    text += line;
  }
  return console(text + kDone);
}

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
  const std::string sub = in + kSep + "sub";
  const test::ToolRun result = run({in, scratch_.at("out")});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, console_in_listing_order(
                            result.out, {"Extracted music from " + sub + kSep + "a.bin\n",
                                         "No music in " + sub + kSep + "b.bin skipping file.\n"}));
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

// Folder names and track names that no ANSI code page spells, given as
// arguments and shown on the console as they are (UTF-8 when redirected), and
// track names that Windows would take for a device even with an extension:
// the same .wav names on every platform.
TEST_F(CliTest, UnicodePathsAndDeviceLikeNames) {
  const test::fs::path top = scratch_.path() / test::fs::u8path("入力");
  const test::fs::path out = scratch_.path() / test::fs::u8path("出力");
  test::fs::create_directories(top / test::fs::u8path("日本語"));
  test::fs::create_directories(top / test::fs::u8path("Müsik"));
  test::fs::create_directories(out);
  const std::vector<std::pair<std::string, std::string>> files = {{"日本語/a.bin", "ü-utf8"},
                                                                  {"Müsik/ü.bin", "CON.x"},
                                                                  {"Müsik/n.bin", "nul .txt"},
                                                                  {"Müsik/c.bin", "Com1.remix"}};
  std::vector<std::string> lines;
  for (const auto& [file, track] : files) {
    test::write_file(top / test::fs::u8path(file),
                     test::make_container(track, test::riff_payload(9)));
    const test::fs::path relative = test::fs::u8path(file);
    lines.push_back("Extracted music from " + scratch_.at(top) + kSep +
                    relative.parent_path().u8string() + kSep + relative.filename().u8string() +
                    "\n");
  }

  const test::ToolRun result = run({scratch_.at(top), scratch_.at(out)});
  EXPECT_EQ(result.out, console_in_listing_order(result.out, lines));
  EXPECT_EQ(result.err, "");
  std::vector<std::string> written;
  for (const auto& entry : test::fs::directory_iterator(out)) {
    written.push_back(entry.path().filename().u8string());
    EXPECT_EQ(test::read_file(entry.path()), test::riff_payload(9));
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"_CON.x.wav", "_Com1.remix.wav", "_nul .txt.wav",
                                               "ü-utf8.wav"}));
}

// Names from an untrusted tree that a terminal would act on, or that split a
// line: one line per file all the same, with nothing in it that a terminal
// acts on; a path with nothing to hide is shown as it is.
TEST_F(CliTest, NamesThatWouldDriveTheTerminalAreShownEscaped) {
  const test::fs::path top = scratch_.path() / "in";
  const test::fs::path out = scratch_.path() / "out";
  test::fs::create_directories(top);
  // This track's output name holds a C1 control, and a directory stands there.
  test::fs::create_directories(out / test::fs::u8path("\xC2\x9B.wav"));
  std::vector<std::string> names = {"plain.bin",           "del\x7F.bin",
                                    "csi\xC2\x9B[31m.bin", "rlo\xE2\x80\xAEnib.bin",
                                    "ls\xE2\x80\xA8x.bin", "alm\xD8\x9C.bin"};
  if (test::kNamesHoldAnyByte) {
    names.insert(names.end(), {"a\x1B]0;pwned\a\x1B[31mred\nExtracted music from forged.bin",
                               "cr\r.bin", "caf\xE9.bin", "tab\t.bin"});
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string track = i == 1 ? "\xC2\x9B" : "t" + std::to_string(i);
    test::write_file(top / test::fs::u8path(names[i]),
                     test::make_container(track, test::riff_payload(9)));
  }

  const test::ToolRun result = run({scratch_.at(top), scratch_.at(out)});
  const std::string in = scratch_.at(top) + kSep;
  const auto escaped = [](std::string path) {
    for (std::size_t at = 0; (at = path.find('\\', at)) != std::string::npos; at += 2) {
      path.insert(at, 1, '\\');
    }
    return path;
  };
  const std::vector<std::string> lines = test::sorted_lines(result.out);
  EXPECT_EQ(lines.size(), names.size() + 4);  // and the banner and the closing message
  EXPECT_NE(result.out.find(console("Extracted music from " + in + "plain.bin\n")),
            std::string::npos);
  EXPECT_NE(result.out.find(
                console("Extracted music from \"" + escaped(in) + "rlo\\342\\200\\256nib.bin\"\n")),
            std::string::npos);
  EXPECT_NE(result.out.find(console("Could not write music from \"" + escaped(in) +
                                    "del\\177.bin\" to \"" + escaped(scratch_.at(out) + kSep) +
                                    "\\302\\233.wav\": ")),
            std::string::npos);
  if (test::kNamesHoldAnyByte) {
    EXPECT_NE(result.out.find("Extracted music from \"" + in +
                              R"(a\033]0;pwned\a\033[31mred\nExtracted music from forged.bin")"
                              "\n"),
              std::string::npos);
  }
  for (const std::string& line : lines) {
    SCOPED_TRACE(testing::PrintToString(line));
    for (std::size_t i = 0; i < line.size(); ++i) {
      const bool line_end = line[i] == '\r' && i + 1 == line.size();
      EXPECT_TRUE(static_cast<unsigned char>(line[i]) >= 0x20 || line_end) << i;
    }
    for (const char* control :
         {"\x7F", "\xC2\x80", "\xC2\x9B", "\xC2\x9F", "\xD8\x9C", "\xE2\x80\xA8", "\xE2\x80\xAE"}) {
      EXPECT_EQ(line.find(control), std::string::npos);
    }
  }
}

// Paths far past Windows' 260 characters, in and out.
TEST_F(CliTest, DeepTreeIntoADeepOutputDirectory) {
  std::string in = scratch_.at("in");
  std::string out = scratch_.at("out");
  for (int level = 0; level < 30; ++level) {
    in += kSep + ("directory" + std::to_string(100 + level));
    out += kSep + ("output" + std::to_string(100 + level));
  }
  test::fs::create_directories(test::fs::u8path(in));
  test::fs::create_directories(test::fs::u8path(out));
  ASSERT_GT(out.size(), 300U);
  const std::string file = in + kSep + "deep.bin";
  test::write_file(test::fs::u8path(file), test::make_container("Deep", test::riff_payload(40000)));

  const test::ToolRun result = run({scratch_.at("in"), out});
  EXPECT_EQ(result.out, console(kBanner + "Extracted music from " + file + "\n" + kDone));
  EXPECT_EQ(test::read_file(test::fs::u8path(out + kSep + "Deep.wav")), test::riff_payload(40000));
}

}  // namespace
}  // namespace tolvane
