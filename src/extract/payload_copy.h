#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_io.h"

namespace tolvane {

/// Bytes appended, and the first read or write error (0: none).
struct CopyResult {
  std::uint64_t bytes;
  int error;
};

/// Appends `input`, from `offset` to its end, to `output`, in blocks of up to
/// `size` bytes through `buffer`, so memory does not grow with the payload.
CopyResult copy_to_end(NativeFile input, std::uint64_t offset, NativeFile output, char* buffer,
                       std::size_t size);

}  // namespace tolvane
