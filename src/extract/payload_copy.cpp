#include "extract/payload_copy.h"

#include <algorithm>

namespace tolvane {

CopyResult copy_range(NativeFile input, std::uint64_t offset, std::uint64_t length,
                      NativeFile output, char* buffer, std::size_t size) {
  CopyResult copied{0, 0};
  while (copied.bytes < length) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, length - copied.bytes));
    const IoResult got = read_at(input, offset + copied.bytes, buffer, wanted);
    if (got.bytes > 0) {
      copied.error = write_all(output, buffer, got.bytes);
      if (copied.error != 0) {
        return copied;
      }
      copied.bytes += got.bytes;
    }
    if (got.error != 0 || got.bytes < wanted) {
      copied.error = got.error;  // 0 at the end of the file
      return copied;
    }
  }
  return copied;
}

}  // namespace tolvane
