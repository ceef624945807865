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

/// Appends `length` bytes of `input`, from `offset` on, to `output`, in blocks
/// of up to `size` bytes through `buffer`, so memory does not grow with the
/// payload. Fewer are appended only when the file ends sooner or an error stops it.
CopyResult copy_range(NativeFile input, std::uint64_t offset, std::uint64_t length,
                      NativeFile output, char* buffer, std::size_t size);

}  // namespace tolvane
