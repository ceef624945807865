#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "platform/temp_name.h"

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

void prefetch(NativeFile file, std::uint64_t size) {
  // Only a hint: a failure costs nothing but the head start.
  (void)::posix_fadvise(as_fd(file), 0, static_cast<off_t>(size), POSIX_FADV_WILLNEED);
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

int set_file_size(NativeFile file, std::uint64_t size) {
  return ::ftruncate(as_fd(file), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int close_file(NativeFile file) {
  // On Linux the descriptor is released even when close reports EINTR, so a
  // retry could close somebody else's descriptor.
  return ::close(as_fd(file)) == 0 || errno == EINTR ? 0 : errno;
}

std::string error_text(int error) {
  return std::strerror(error);
}

std::string track_name_text(std::string_view raw) {
  return std::string(raw);
}

namespace {

// Names the open `fd` as `path` through its entry in /proc/self/fd. Returns
// 0, EEXIST when anything, a link included, stands at `path`, or the error.
int link_fd(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                          : errno;
}

// Finds a free temporary name in `directory` and has `take` claim it: `take`
// creates or links a file at the path it is given and returns 0, EEXIST when
// something already stands there, or another error.
template <typename Take>
int claim_temp_name(const std::string& directory, Take take, std::string& path) {
  int error = EEXIST;
  for (int attempt = 0; attempt < kTempAttempts && error == EEXIST; ++attempt) {
    path = temp_file_path(directory, static_cast<unsigned long>(::getpid()));
    error = take(path);
  }
  if (error != 0) {
    path.clear();
  }
  return error;
}

}  // namespace

StagedOutput StagedFile::create(const std::string& directory) {
  // An empty directory would join to a path at the root of the file system.
  if (directory.empty()) {
    return {{}, ENOENT};
  }
#if defined(O_TMPFILE)
  // The file gets its name through its entry in /proc/self/fd, so only
  // offer it where that exists.
  static const bool can_name = ::access("/proc/self/fd", X_OK) == 0;
  if (can_name) {
    const int fd = ::open(directory.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd >= 0) {
      return {StagedFile(fd, directory, {}), 0};
    }
  }
#endif
  int fd = -1;
  std::string path;
  // O_EXCL also fails on a link at the path, dangling or not, so nothing is
  // ever written through one.
  const int error = claim_temp_name(
      directory,
      [&fd](const std::string& candidate) {
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        return fd >= 0 ? 0 : errno;
      },
      path);
  if (error != 0) {
    return {{}, error};
  }
  return {StagedFile(fd, directory, std::move(path)), 0};
}

int StagedFile::publish(const std::string& path) {
  if (temp_path_.empty()) {
    // A file without a name takes a free name at once; a name already in
    // use (an earlier track, or a link) is replaced by way of a temporary name.
    const int linked = link_fd(as_fd(file_), path);
    if (linked == 0) {
      const int close_error = close_file(release());
      if (close_error != 0) {
        ::unlink(path.c_str());  // nothing stood there before
      }
      return close_error;
    }
    const int error =
        linked != EEXIST
            ? linked
            : claim_temp_name(
                  directory_,
                  [this](const std::string& candidate) { return link_fd(as_fd(file_), candidate); },
                  temp_path_);
    if (error != 0) {
      discard();
      return error;
    }
  }
  int error = close_file(release());
  if (error == 0 && ::rename(temp_path_.c_str(), path.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temp_path_.c_str());
  }
  temp_path_.clear();
  return error;
}

void StagedFile::discard() {
  if (file_ != kNoFile) {
    close_file(release());  // a file without a name is gone once closed
  }
  if (!temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
  }
}

}  // namespace tolvane
