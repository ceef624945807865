#include "extract/payload_copy.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

namespace tolvane {
namespace {

// Appends every byte from the offset to the end, for payloads around the edges of
// the blocks, into a staged output that then takes its name.
TEST(CopyToEnd, AppendsEveryByteFromTheOffsetOn) {
  test::ScratchDir scratch;
  constexpr std::size_t kBlock = 1000;
  std::vector<char> buffer(kBlock);
  const Directory directory = open_directory(scratch.path().u8string()).directory;
  for (const std::size_t size : {0, 1, 999, 1000, 1001, 3000, 32272, 100001}) {
    for (const std::size_t offset : {0, 272, 1272}) {
      SCOPED_TRACE(testing::Message() << "size " << size << ", offset " << offset);
      const std::string content =
          test::riff_payload(std::max<std::size_t>(size, 4)).substr(0, size);
      test::write_file(scratch.path() / "in", content);
      const std::optional<InputFile> input = open_regular_file(directory, "in");
      ASSERT_TRUE(input.has_value());
      StagedOutput output = StagedFile::create(directory);
      ASSERT_EQ(output.error, 0);
      ASSERT_EQ(write_all(output.file.file(), "prefix", 6), 0);
      const CopyResult copied =
          copy_range(input->file, offset, 100001, output.file.file(), buffer.data(), kBlock);
      EXPECT_EQ(copied.error, 0);
      EXPECT_EQ(copied.bytes, size - std::min(offset, size));
      close_file(input->file);
      EXPECT_EQ(output.file.publish("out"), 0);
      EXPECT_EQ(test::read_file(scratch.path() / "out"),
                "prefix" + content.substr(std::min(offset, size)));
    }
  }
  EXPECT_EQ(test::list_names(scratch.path()), (std::vector<std::string>{"in", "out"}));
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
        StagedOutput staged = StagedFile::create(open_directory(directory.u8string()).directory);
        (void)write_all(staged.file.file(), "partial", 7);
        std::_Exit(staged.error == 0 ? 3 : 4);
      },
      testing::ExitedWithCode(3), "");
  EXPECT_TRUE(test::list_names(directory).empty());
  test::fs::remove_all(directory);
}

}  // namespace
}  // namespace tolvane
