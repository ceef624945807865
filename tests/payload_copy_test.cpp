#include "extract/payload_copy.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "extract/container.h"
#include "support.h"

namespace tolvane {
namespace {

// Both ways of moving the payload: the kernel's copy (where the system
// offers one) with its block fallback, and the block loop alone.
TEST(CopyToEnd, EitherMethodAppendsEveryByteFromTheOffsetOn) {
  test::ScratchDir scratch;
  std::array<char, kCopyBlockSize> block{};
  int case_number = 0;
  for (const CopyMethod method : {CopyMethod::kKernelWhereOffered, CopyMethod::kBlocksOnly}) {
    for (const std::size_t size : {0, 1, 31999, 32000, 32001, 100000, 250001}) {
      for (const std::size_t offset : {0, 272, 32272}) {
        SCOPED_TRACE(testing::Message() << "method " << static_cast<int>(method) << ", size "
                                        << size << ", offset " << offset);
        const std::string content =
            test::riff_payload(std::max<std::size_t>(size, 4)).substr(0, size);
        const std::string in = scratch.at("in" + std::to_string(case_number));
        const std::string out = scratch.at("out" + std::to_string(case_number));
        ++case_number;
        test::write_file(in, content);

        const std::optional<InputFile> input = open_regular_file(in);
        ASSERT_TRUE(input.has_value());
        const CreateResult output = create_new_file(out);
        ASSERT_EQ(output.error, 0);
        ASSERT_EQ(write_all(output.file, "prefix", 6), 0);
        EXPECT_EQ(copy_to_end(input->file, offset, output.file, method, block.data()), 0);
        EXPECT_EQ(close_file(output.file), 0);
        close_file(input->file);
        EXPECT_EQ(test::read_file(out), "prefix" + content.substr(std::min(offset, size)));
      }
    }
  }
}

}  // namespace
}  // namespace tolvane
