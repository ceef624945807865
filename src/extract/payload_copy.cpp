#include "extract/payload_copy.h"

namespace tolvane {

int copy_to_end(NativeFile input, std::uint64_t offset, NativeFile output, char* buffer,
                std::size_t size) {
  for (;;) {
    const IoResult got = read_at(input, offset, buffer, size);
    if (got.bytes > 0) {
      const int error = write_all(output, buffer, got.bytes);
      if (error != 0) {
        return error;
      }
    }
    if (got.error != 0 || got.bytes < size) {
      return got.error;  // 0 at the end of the file
    }
    offset += got.bytes;
  }
}

}  // namespace tolvane
