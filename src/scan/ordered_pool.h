// The tool's only threads. The walk hands each job to the pool, in the
// order in which it meets the files; workers run the jobs in any order, and
// what each job hands back (publishing its track, giving its console line)
// runs strictly in that same order, one at a time, as soon as the job and
// every job before it are done, like a reorder buffer. The lines of all the
// jobs finished in one pass go to the console together, in one write, before
// any later line; none waits for a job that is not done. The walk and the
// extraction stay single-threaded code that never sees a lock.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tolvane {

class OrderedPool {
 public:
  /// What finishes a job, in order; returns the job's console text.
  using Finish = std::function<std::string()>;
  /// Writes a batch of console text.
  using Print = std::function<void(std::string_view)>;
  /// A job, run on a worker: `start` (if set) for every job of a worker's
  /// run, and of the run it takes next, before the first `run`, so that what
  /// they wait for (the disk) can come in meanwhile; then `run`, whose result
  /// finishes the job.
  struct Job {
    std::function<void()> start;
    std::function<Finish()> run;
  };

  /// Starts `workers` (at least one) worker threads. At most `slots` jobs are
  /// in flight at once: handed in but not finished. `print` writes the
  /// finished jobs' text, from one thread at a time.
  OrderedPool(unsigned workers, std::size_t slots, Print print);
  /// Finishes every job handed in, then stops the threads.
  ~OrderedPool();
  OrderedPool(const OrderedPool&) = delete;
  OrderedPool& operator=(const OrderedPool&) = delete;

  /// Hands `job` to the workers. Its Finish runs after that of every job
  /// handed in before it, as soon as it and they are done, and its text is
  /// printed after theirs. Waits while all slots are in flight.
  void submit(Job job);

  /// Waits until every job handed in so far has finished and been printed.
  void wait_all();

 private:
  struct Slot {
    Job job;
    Finish finish;
    bool done = false;
  };

  // The most jobs a worker takes at once. Taking several consecutive jobs
  // spares a hand-over between threads per file, and runs each right after
  // the one before it, so the worker that finished one can often finish the
  // next too.
  static constexpr std::uint64_t kMaxRun = 16;

  void work();
  std::uint64_t take_run(std::array<Job, kMaxRun>& jobs, std::uint64_t& first);
  static void start_all(std::array<Job, kMaxRun>& jobs, std::uint64_t run);
  void finish_done_jobs(std::unique_lock<std::mutex>& lock);

  const unsigned workers_;
  const Print print_;
  std::mutex mutex_;
  std::condition_variable job_ready_;   // for workers: a job to take, or stop
  std::condition_variable slot_freed_;  // for submit and wait_all: jobs finished
  std::vector<Slot> ring_;              // job number n lives in ring_[n % size]
  std::uint64_t submitted_ = 0;         // jobs handed in
  std::uint64_t taken_ = 0;             // jobs a worker has taken
  std::uint64_t finished_ = 0;          // jobs finished and printed, in order
  int waiting_for_slots_ = 0;           // threads in submit or wait_all, waiting
  bool finishing_ = false;              // a worker is running Finishes
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace tolvane
