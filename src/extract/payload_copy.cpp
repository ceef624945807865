#include "extract/payload_copy.h"

namespace tolvane {

CopyResult copy_to_end(NativeFile input, std::uint64_t offset, NativeFile output, char* buffer,
                       std::size_t size) {
  CopyResult copied{0, 0};
  for (;;) {
    const IoResult got = read_at(input, offset + copied.bytes, buffer, size);
    if (got.bytes > 0) {
      copied.error = write_all(output, buffer, got.bytes);
      if (copied.error != 0) {
        return copied;
      }
      copied.bytes += got.bytes;
    }
    if (got.error != 0 || got.bytes < size) {
      copied.error = got.error;  // 0 at the end of the file
      return copied;
    }
  }
}

}  // namespace tolvane
