#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/file_io.h"

namespace tolvane {

const char kPathSeparator = '/';
const int kNoSuchDirectoryError = ENOENT;

namespace {

int as_fd(NativeFile file) {
  return static_cast<int>(file);
}

}  // namespace

std::optional<InputFile> open_regular_file(const std::string& path) {
  // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; fstat then
  // refuses it. Checking the type of the open file, not the path, leaves no
  // gap in which the path could be swapped for something else.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return InputFile{fd, static_cast<std::uint64_t>(info.st_size)};
}

IoResult read_at(NativeFile file, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        ::pread(as_fd(file), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return {done, errno};
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return {done, 0};
}

KernelCopyResult kernel_copy_to_end(NativeFile input, std::uint64_t offset, NativeFile output) {
#if defined(__linux__)
  // Asked for 1 GiB at a time; the kernel may copy less per call.
  constexpr std::size_t kChunk = std::size_t{1} << 30;
  auto from = static_cast<off64_t>(offset);
  std::uint64_t done = 0;
  for (;;) {
    const ssize_t copied =
        ::copy_file_range(as_fd(input), &from, as_fd(output), nullptr, kChunk, 0);
    if (copied > 0) {
      done += static_cast<std::uint64_t>(copied);
      continue;
    }
    if (copied == 0) {
      return {done, 0, false};
    }
    switch (errno) {
      case EINTR:
        continue;
      // Not offered for these files or on this kernel: the caller copies the rest.
      case EXDEV:
      case EINVAL:
      case ENOSYS:
      case EOPNOTSUPP:
      case EBADF:
      case EPERM:
        return {done, 0, true};
      default:
        return {done, errno, false};
    }
  }
#else
  (void)input;
  (void)offset;
  (void)output;
  return {0, 0, true};
#endif
}

CreateResult create_new_file(const std::string& path) {
  // O_EXCL also fails on a link at `path`, dangling or not, so nothing is
  // ever written through one.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    return {-1, errno, errno == EEXIST};
  }
  return {fd, 0, false};
}

std::optional<NativeFile> create_unnamed_file(const std::string& directory) {
#if defined(O_TMPFILE)
  // The file gets its name through its entry in /proc/self/fd, so only
  // offer it where that exists.
  static const bool can_name = ::access("/proc/self/fd", X_OK) == 0;
  if (can_name) {
    const int fd = ::open(directory.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd >= 0) {
      return fd;
    }
  }
#else
  (void)directory;
#endif
  return std::nullopt;
}

CreateResult link_file(NativeFile file, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(as_fd(file));
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return {file, errno, errno == EEXIST};
  }
  return {file, 0, false};
}

int write_all(NativeFile file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(as_fd(file), data, size);
    if (put < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return 0;
}

int close_file(NativeFile file) {
  // On Linux the descriptor is released even when close reports EINTR, so a
  // retry could close somebody else's descriptor.
  return ::close(as_fd(file)) == 0 || errno == EINTR ? 0 : errno;
}

int rename_replacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void remove_file(const std::string& path) {
  ::unlink(path.c_str());
}

std::string error_text(int error) {
  return std::strerror(error);
}

std::string track_name_text(std::string_view raw) {
  return std::string(raw);
}

unsigned long current_process_id() {
  return static_cast<unsigned long>(::getpid());
}

}  // namespace tolvane
