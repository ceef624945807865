// The tool's only threads. Workers extract the files the walk hands in, in
// the order their data lies on the disk as far as the listing tells, within
// a window of files handed in; tracks are published and lines printed in the
// walk's order, as soon as a file and every one before it are done, like a
// reorder buffer.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "extract/extract.h"
#include "extract/track_names.h"

namespace tolvane {

/// What the walk hands in: a file to extract, or a line of its own.
struct Job {
  std::string path;              // the file as the console shows it
  Directory directory;           // the file's; empty for a file never to be opened
  std::string name;              // the file's name in `directory`, as listed
  std::string line;              // a line that needs no file
  std::uint64_t disk_order = 0;  // where the file lies on its disk, from the listing
};

class OrderedPool {
 public:
  /// Starts `workers` threads (at least one) that extract into `output`. At
  /// most `window` jobs are in flight: handed in but not yet printed. The
  /// workers read the waiting ones in sweeps up the disk order, so that each
  /// file starts where the last one ends, as far as the listing tells.
  OrderedPool(unsigned workers, std::size_t window, const OutputDir& output);
  /// Finishes every job handed in, then stops the threads.
  ~OrderedPool();

  /// Hands `job` to the workers; waits while the window is full.
  void submit(Job job);

 private:
  struct Slot {
    Job job;
    std::optional<InputFile> input;  // opened ahead of its extraction
    StagedTrack track;
    bool done = false;  // extracted, waiting for every job before it
  };

  // Jobs a worker takes at once, so threads hand over per run, not per file.
  static constexpr std::size_t kMaxRun = 16;
  // Bytes of paths and lines in flight at most, besides the last job's, so
  // that the window holds little where paths are long.
  static constexpr std::size_t kMaxTextBytes = std::size_t{256} * 1024;

  // Jobs taken at once, in disk order.
  struct Run {
    std::array<std::uint64_t, kMaxRun> jobs;
    std::size_t size = 0;
    bool streams = false;  // its last track streams from the disk
  };

  Slot& slot(std::uint64_t job) { return ring_[job % ring_.size()]; }
  bool half_free() const {
    return submitted_ - finished_ <= ring_.size() / 2 && text_bytes_ <= kMaxTextBytes / 2;
  }
  void work();
  void add_waiting(std::uint64_t job);
  std::size_t waiting() const { return this_sweep_.size() + next_sweep_.size(); }
  Run take_run();
  Run open_run(std::unique_lock<std::mutex>& lock);
  void done_opening();
  void retire_done_jobs(std::unique_lock<std::mutex>& lock);

  const unsigned workers_;
  const OutputDir& output_;
  TrackNames names_;  // only the worker retiring jobs uses it
  std::mutex mutex_;
  std::condition_variable job_ready_;   // for workers: a job to take, or stop
  std::condition_variable slot_freed_;  // for submit and the destructor: jobs finished
  std::condition_variable opened_;      // for workers: a run may be opened
  // Job n lives in ring_[n % size]. Once handed in, only its worker touches
  // it until it is done, then only the worker that retires it.
  std::vector<Slot> ring_;
  // Jobs handed in and not yet taken, as (disk order, job) in two heaps,
  // lowest first: those at or past the sweep's place, and those it has
  // passed, for its next sweep.
  using Waiting = std::vector<std::pair<std::uint64_t, std::uint64_t>>;
  Waiting this_sweep_;
  Waiting next_sweep_;
  std::uint64_t sweep_ = 0;      // the disk order of the job last taken
  std::uint64_t submitted_ = 0;  // jobs handed in
  std::uint64_t finished_ = 0;   // jobs retired: published and printed, in order
  std::size_t text_bytes_ = 0;   // of the paths and lines of the jobs in flight
  bool opening_ = false;         // a worker is opening a run, or copying the stream ending it
  bool retiring_ = false;        // a worker is retiring jobs
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace tolvane
