#pragma once

#include <cstdint>

#include "platform/file_io.h"

namespace tolvane {

enum class CopyMethod {
  kKernelWhereOffered,  // let the kernel copy; blocks take over wherever it declines
  kBlocksOnly,          // read and write in blocks, the portable way
};

/// Appends `input`, from `offset` to its end, to `output`. The bytes that
/// pass through this process go in blocks of kCopyBlockSize through `block`,
/// a buffer of that size, so memory does not grow with the payload.
/// Returns 0, or the first read or write error.
int copy_to_end(NativeFile input, std::uint64_t offset, NativeFile output, CopyMethod method,
                char* block);

}  // namespace tolvane
