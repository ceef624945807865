#include "extract/payload_copy.h"

#include "extract/container.h"

namespace tolvane {

int copy_to_end(NativeFile input, std::uint64_t offset, NativeFile output, CopyMethod method,
                char* block) {
  if (method == CopyMethod::kKernelWhereOffered) {
    const KernelCopyResult copied = kernel_copy_to_end(input, offset, output);
    if (!copied.declined) {
      return copied.error;
    }
    offset += copied.bytes;
  }
  for (;;) {
    const IoResult got = read_at(input, offset, block, kCopyBlockSize);
    if (got.bytes > 0) {
      const int error = write_all(output, block, got.bytes);
      if (error != 0) {
        return error;
      }
    }
    if (got.error != 0 || got.bytes < kCopyBlockSize) {
      return got.error;  // 0 at the end of the file
    }
    offset += got.bytes;
  }
}

}  // namespace tolvane
