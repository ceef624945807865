#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/directory_posix.h"
#include "platform/file_io.h"
#include "platform/stop_cleanup_posix.h"
#include "platform/temp_name.h"

namespace tolvane {

const char kPathSeparator = '/';
const int kNameTaken = EEXIST;

namespace {

int as_fd(NativeFile file) {
  return static_cast<int>(file);
}

// The regular file open as `fd`, with its size and modification time now.
std::optional<InputFile> described(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  return InputFile{
      fd, static_cast<std::uint64_t>(info.st_size),
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// The directory open as `fd`, or the error that kept it from being opened.
OrError<Directory> directory_of(int fd) {
  if (fd < 0) {
    return {{}, errno};
  }
  return {std::make_shared<const PlatformDirectory>(fd), 0};
}

// O_NONBLOCK: should the name have turned into a FIFO since it was listed,
// the open neither waits for a writer nor succeeds (O_DIRECTORY).
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC;

}  // namespace

OrError<Directory> open_directory(const std::string& path) {
  return directory_of(::open(path.c_str(), kDirectoryFlags));
}

OrError<Directory> open_directory(const Directory& parent, const std::string& name) {
  return directory_of(::openat(parent->fd, name.c_str(), kDirectoryFlags));
}

std::size_t raise_open_file_limit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    return 0;
  }
  if (limit.rlim_cur < limit.rlim_max) {
    const rlim_t before = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
      limit.rlim_cur = before;
    }
  }
  return limit.rlim_cur == RLIM_INFINITY ? std::numeric_limits<std::size_t>::max()
                                         : static_cast<std::size_t>(limit.rlim_cur);
}

std::optional<InputFile> open_regular_file(const Directory& directory, const std::string& name,
                                           std::uint64_t read_ahead) {
  if (!directory) {
    return std::nullopt;
  }
  // O_NONBLOCK keeps the open of a FIFO from waiting for a writer. The type
  // of the open file is checked, so the name cannot be swapped meanwhile.
  const int fd =
      ::openat(directory->fd, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  std::optional<InputFile> input = described(fd);
  if (!input) {
    ::close(fd);
    return std::nullopt;
  }
  // Only hints: a failure costs nothing but the head start. A stream gets
  // twice the system's read-ahead window, so it comes in longer requests.
  // One call reads ahead a window at most, so the start is asked for a
  // window at a time.
  const bool stream = input->size > read_ahead;
  if (stream) {
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  const std::uint64_t window = std::uint64_t{stream ? 256U : 128U} * 1024;
  for (std::uint64_t offset = 0; offset < std::min(input->size, read_ahead); offset += window) {
    (void)::posix_fadvise(fd, static_cast<off_t>(offset), static_cast<off_t>(window),
                          POSIX_FADV_WILLNEED);
  }
  return input;
}

std::optional<FileIdentity> identity_at(const Directory& directory, const std::string& name) {
  struct stat info {};
  if (!directory || ::fstatat(directory->fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::nullopt;
  }
  return FileIdentity{info.st_dev, info.st_ino};
}

bool in_memory(const InputFile& input, std::uint64_t offset) {
  // RWF_NOWAIT reads only what needs no disk; a system or file system that
  // does not know it answers with an error, which says "no" too.
  char byte = 0;
  iovec one{&byte, 1};
  return ::preadv2(as_fd(input.file), &one, 1, static_cast<off_t>(offset), RWF_NOWAIT) == 1;
}

bool changed_since_open(const InputFile& input) {
  const std::optional<InputFile> now = described(as_fd(input.file));
  return !now || now->size != input.size || now->modified != input.modified;
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

namespace {

// Names the open `fd` as `name` in the directory open as `dir_fd`. Returns
// 0, EEXIST when anything, a link included, stands at `name`, or the error.
int link_fd(int fd, int dir_fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), dir_fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Has `take` put a file at a free temporary name in the directory open as
// `dir_fd`, noted for removal on a stop; `take` returns 0, EEXIST, or an error.
template <typename Take>
int claim_temp_name(int dir_fd, Take take, std::string& name) {
  int error = EEXIST;
  for (int attempt = 0; attempt < kTempAttempts && error == EEXIST; ++attempt) {
    name = temp_file_name(static_cast<unsigned long>(::getpid()));
    remember_temp_file(dir_fd, name);
    error = take(name);
    if (error != 0) {
      forget_temp_file(dir_fd, name);
    }
  }
  if (error != 0) {
    name.clear();
  }
  return error;
}

}  // namespace

OrError<StagedFile> StagedFile::staged(NativeFile file, const Directory& directory,
                                       std::string temp_name) {
  StagedFile staged_file(file, directory, std::move(temp_name), {});
  struct stat info {};
  if (::fstat(as_fd(file), &info) != 0) {
    const int error = errno;
    return {{}, error};  // the file is discarded on the way out
  }
  staged_file.identity_ = FileIdentity{info.st_dev, info.st_ino};
  return {std::move(staged_file), 0};
}

OrError<StagedFile> StagedFile::create(const Directory& directory) {
  const int dir_fd = directory->fd;
#if defined(O_TMPFILE)
  // The file gets its name through /proc/self/fd, so only where that exists.
  static const bool can_name = ::access("/proc/self/fd", X_OK) == 0;
  if (can_name) {
    // Read and write: a track of a name already written is compared with it.
    const int fd = ::openat(dir_fd, ".", O_RDWR | O_TMPFILE | O_CLOEXEC, 0666);
    if (fd >= 0) {
      return staged(fd, directory, {});
    }
  }
#endif
  int fd = -1;
  std::string name;
  // O_EXCL also fails on a link, so nothing is ever written through one.
  const int error = claim_temp_name(
      dir_fd,
      [&fd, dir_fd](const std::string& candidate) {
        fd = ::openat(dir_fd, candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                      0666);
        return fd >= 0 ? 0 : errno;
      },
      name);
  if (error != 0) {
    return {{}, error};
  }
  return staged(fd, directory, std::move(name));
}

OrError<FileIdentity> StagedFile::publish(const std::string& name, bool replace) {
  const int dir_fd = directory_->fd;
  if (temp_name_.empty()) {
    // A free name is taken at once; one in use (an earlier track, a link) is
    // replaced by way of a temporary name.
    const int linked = link_fd(as_fd(file_), dir_fd, name);
    if (linked == 0) {
      const int close_error = close_file(std::exchange(file_, kNoFile));
      if (close_error != 0) {
        ::unlinkat(dir_fd, name.c_str(), 0);  // nothing stood there before
      }
      return {identity_, close_error};
    }
    if (linked == EEXIST && !replace) {
      return {{}, kNameTaken};
    }
    const int error = linked != EEXIST ? linked
                                       : claim_temp_name(
                                             dir_fd,
                                             [this, dir_fd](const std::string& candidate) {
                                               return link_fd(as_fd(file_), dir_fd, candidate);
                                             },
                                             temp_name_);
    if (error != 0) {
      discard();
      return {{}, error};
    }
  } else if (!replace) {
    // Publishing is one track at a time, so nothing takes the name between
    // this look and the rename.
    struct stat existing {};
    if (::fstatat(dir_fd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
      return {{}, kNameTaken};
    }
  }
  int error = close_file(std::exchange(file_, kNoFile));
  if (error == 0 && ::renameat(dir_fd, temp_name_.c_str(), dir_fd, name.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(dir_fd, temp_name_.c_str(), 0);
  }
  forget_temp_file(dir_fd, temp_name_);
  temp_name_.clear();
  return {identity_, error};
}

void StagedFile::discard() {
  if (file_ != kNoFile) {
    close_file(std::exchange(file_, kNoFile));  // a file without a name is gone once closed
  }
  if (!temp_name_.empty()) {
    ::unlinkat(directory_->fd, temp_name_.c_str(), 0);
    forget_temp_file(directory_->fd, temp_name_);
    temp_name_.clear();
  }
}

}  // namespace tolvane
