#include "scan/ordered_pool.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tolvane {

OrderedPool::OrderedPool(unsigned workers, std::size_t slots, Print print)
    : workers_(std::max(workers, 1U)),
      print_(std::move(print)),
      ring_(std::max<std::size_t>(slots, 1)) {
  for (unsigned i = 0; i < workers_; ++i) {
    threads_.emplace_back([this] { work(); });
  }
}

OrderedPool::~OrderedPool() {
  wait_all();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  job_ready_.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
}

void OrderedPool::submit(Job job) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (submitted_ - finished_ == ring_.size()) {
    // Waits until half the slots are free rather than one, so that the walk
    // and the workers do not wake each other for every file.
    ++waiting_for_slots_;
    slot_freed_.wait(lock, [this] { return submitted_ - finished_ <= ring_.size() / 2; });
    --waiting_for_slots_;
  }
  Slot& slot = ring_[submitted_ % ring_.size()];
  slot.job = std::move(job);
  slot.done = false;
  ++submitted_;
  lock.unlock();
  job_ready_.notify_one();
}

void OrderedPool::wait_all() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++waiting_for_slots_;
  slot_freed_.wait(lock, [this] { return finished_ == submitted_; });
  --waiting_for_slots_;
}

// Takes a fair share of the waiting jobs, at most kMaxRun, into `jobs` and
// returns how many: so that a slow job holds up few others.
std::uint64_t OrderedPool::take_run(std::array<Job, kMaxRun>& jobs, std::uint64_t& first) {
  const std::uint64_t run = std::min<std::uint64_t>(
      {kMaxRun, submitted_ - taken_, std::max<std::uint64_t>(1, (submitted_ - taken_) / workers_)});
  first = taken_;
  taken_ += run;
  for (std::uint64_t i = 0; i < run; ++i) {
    jobs[i] = std::move(ring_[(first + i) % ring_.size()].job);
  }
  return run;
}

void OrderedPool::work() {
  std::array<Job, kMaxRun> current;
  std::array<Job, kMaxRun> next;
  std::uint64_t current_first = 0;
  std::uint64_t next_first = 0;
  std::uint64_t current_run = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (current_run == 0) {
      job_ready_.wait(lock, [this] { return stopping_ || taken_ < submitted_; });
      if (taken_ == submitted_) {
        return;  // stopping, and nothing left to take
      }
      current_run = take_run(current, current_first);
      lock.unlock();
      start_all(current, current_run);
      lock.lock();
    }
    // When the walk is a run ahead or more, the next run is taken and
    // started before this one is worked through, so that what it waits for
    // (a cold disk) comes in meanwhile. Fewer waiting jobs are left to the
    // other workers, which would otherwise sit idle.
    const std::uint64_t next_run = submitted_ - taken_ >= kMaxRun ? take_run(next, next_first) : 0;
    lock.unlock();
    start_all(next, next_run);
    for (std::uint64_t i = 0; i < current_run; ++i) {
      Finish finish = current[i].run();
      lock.lock();
      // A slot is not reused before its job has finished.
      Slot& slot = ring_[(current_first + i) % ring_.size()];
      slot.finish = std::move(finish);
      slot.done = true;
      finish_done_jobs(lock);
      lock.unlock();
    }
    std::swap(current, next);
    current_first = next_first;
    current_run = next_run;
    lock.lock();
  }
}

void OrderedPool::start_all(std::array<Job, kMaxRun>& jobs, std::uint64_t run) {
  for (std::uint64_t i = 0; i < run; ++i) {
    if (jobs[i].start) {
      jobs[i].start();
    }
  }
}

// Runs the Finish of every job that is done and next in order, unless
// another worker is already doing so: then that worker will reach them. So
// Finishes run one at a time and in order, on whichever worker completed the
// next job, without waking a thread of their own for each file. The text of
// one pass is printed at once, and those jobs count as finished only then,
// so that nothing waiting for them (the closing message) overtakes it; jobs
// done meanwhile make another pass.
void OrderedPool::finish_done_jobs(std::unique_lock<std::mutex>& lock) {
  if (finishing_) {
    return;
  }
  finishing_ = true;
  std::string text;
  for (;;) {
    std::uint64_t next = finished_;
    while (next < submitted_ && ring_[next % ring_.size()].done) {
      Slot& slot = ring_[next % ring_.size()];
      Finish finish = std::move(slot.finish);
      lock.unlock();
      if (finish) {
        text += finish();
      }
      lock.lock();
      // The slot stays taken until the pass is printed.
      ++next;
    }
    if (next == finished_) {
      break;
    }
    if (!text.empty()) {
      lock.unlock();
      print_(text);
      text.clear();
      lock.lock();
    }
    for (; finished_ < next; ++finished_) {
      ring_[finished_ % ring_.size()].done = false;
    }
    if (waiting_for_slots_ > 0 &&
        (submitted_ - finished_ <= ring_.size() / 2 || finished_ == submitted_)) {
      slot_freed_.notify_all();
    }
  }
  finishing_ = false;
}

}  // namespace tolvane
