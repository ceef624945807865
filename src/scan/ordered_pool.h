// The tool's only threads. Workers extract the files the walk hands in, in
// any order; tracks are published and lines printed in the walk's order, as
// soon as a file and every one before it are done, like a reorder buffer.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "extract/extract.h"
#include "extract/track_names.h"

namespace tolvane {

/// What the walk hands in: a file to extract, or a line of its own.
struct Job {
  std::string path;     // the file as the console shows it
  Directory directory;  // the file's; empty for a file never to be opened
  std::string name;     // the file's name in `directory`, as listed
  std::string line;     // a line that needs no file
};

class OrderedPool {
 public:
  /// Starts `workers` threads (at least one) that extract into `output`. At
  /// most `slots` jobs are in flight: handed in but not yet printed.
  OrderedPool(unsigned workers, std::size_t slots, const OutputDir& output);
  /// Finishes every job handed in, then stops the threads.
  ~OrderedPool();

  /// Hands `job` to the workers; waits while every slot is in flight.
  void submit(Job job);

 private:
  struct Slot {
    Job job;
    std::optional<InputFile> input;  // opened ahead of its extraction
    StagedTrack track;
    bool done = false;  // extracted, waiting for every job before it
  };
  struct Run {
    std::uint64_t first;
    std::uint64_t size;
  };

  // Jobs a worker takes at once, so threads hand over per run, not per file.
  static constexpr std::uint64_t kMaxRun = 16;

  Slot& slot(std::uint64_t job) { return ring_[job % ring_.size()]; }
  void work();
  Run take_run();
  void open_inputs(Run run);
  void retire_done_jobs(std::unique_lock<std::mutex>& lock);

  const unsigned workers_;
  const OutputDir& output_;
  TrackNames names_;  // only the worker retiring jobs uses it
  std::mutex mutex_;
  std::condition_variable job_ready_;   // for workers: a job to take, or stop
  std::condition_variable slot_freed_;  // for submit and the destructor: jobs finished
  // Job n lives in ring_[n % size]. Once handed in, only its worker touches
  // it until it is done, then only the worker that retires it.
  std::vector<Slot> ring_;
  std::uint64_t submitted_ = 0;  // jobs handed in
  std::uint64_t taken_ = 0;      // jobs a worker has taken
  std::uint64_t finished_ = 0;   // jobs retired: published and printed, in order
  bool retiring_ = false;        // a worker is retiring jobs
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace tolvane
