#include "platform/stop_cleanup_posix.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace tolvane {
namespace {

// Room for every file in flight at once, with a wide margin. The table is
// fixed and never allocated, so a signal handler can read it.
constexpr std::size_t kMaxTempFiles = 2048;
constexpr std::size_t kMaxNameSize = 64;  // ".tolvanemusicextract-PID-N.tmp" and its NUL

enum : int { kFree, kFilling, kInUse };

struct TempFile {
  std::atomic<int> state{kFree};
  std::atomic<int> dir_fd{-1};
  std::array<char, kMaxNameSize> name{};
};

std::array<TempFile, kMaxTempFiles> temp_files;

// Async-signal-safe throughout: atomics that never lock, unlinkat, signal
// and raise. The signal stays blocked while the handler runs, so raising it
// again ends the process with the default action once the handler returns,
// and the shell sees a process stopped by it (status 128 + the signal).
extern "C" void remove_temp_files_and_stop(int signal_number) {
  for (TempFile& file : temp_files) {
    if (file.state.load(std::memory_order_acquire) == kInUse) {
      ::unlinkat(file.dir_fd.load(std::memory_order_relaxed), file.name.data(), 0);
    }
  }
  (void)std::signal(signal_number, SIG_DFL);
  (void)std::raise(signal_number);
}

void install_stop_handlers() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    struct sigaction previous {};
    if (::sigaction(signal_number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = remove_temp_files_and_stop;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

void remember_temp_file(int dir_fd, const std::string& name) {
  static const bool installed = (install_stop_handlers(), true);
  (void)installed;
  if (name.size() >= kMaxNameSize) {
    return;
  }
  for (TempFile& file : temp_files) {
    int expected = kFree;
    if (file.state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      file.dir_fd.store(dir_fd, std::memory_order_relaxed);
      std::memcpy(file.name.data(), name.c_str(), name.size() + 1);
      file.state.store(kInUse, std::memory_order_release);
      return;
    }
  }
}

void forget_temp_file(int dir_fd, const std::string& name) {
  for (TempFile& file : temp_files) {
    if (file.state.load(std::memory_order_acquire) == kInUse &&
        file.dir_fd.load(std::memory_order_relaxed) == dir_fd &&
        std::strcmp(file.name.data(), name.c_str()) == 0) {
      file.state.store(kFree, std::memory_order_release);
      return;
    }
  }
}

}  // namespace tolvane
