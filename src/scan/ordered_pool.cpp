#include "scan/ordered_pool.h"

#include <algorithm>
#include <utility>

namespace tolvane {

OrderedPool::OrderedPool(unsigned workers, std::size_t slots)
    : ring_(std::max<std::size_t>(slots, 1)) {
  for (unsigned i = 0; i < std::max(workers, 1U); ++i) {
    threads_.emplace_back([this] { work(); });
  }
  threads_.emplace_back([this] { finish_in_order(); });
}

OrderedPool::~OrderedPool() {
  wait_all();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  job_ready_.notify_all();
  job_done_.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
}

void OrderedPool::submit(Job job) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (submitted_ - finished_ == ring_.size()) {
    // Waits until half the slots are free rather than one, so that the walk
    // and the finishing thread do not wake each other for every file.
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

void OrderedPool::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    job_ready_.wait(lock, [this] { return stopping_ || taken_ < submitted_; });
    if (taken_ == submitted_) {
      return;  // stopping, and nothing left to take
    }
    // A slot is not reused before its job has finished, so it stays put
    // while the job runs without the lock.
    const std::uint64_t number = taken_++;
    Slot& slot = ring_[number % ring_.size()];
    Job job = std::move(slot.job);
    lock.unlock();
    Finish finish = job();
    lock.lock();
    slot.finish = std::move(finish);
    slot.done = true;
    // Only the next job in order can let the finishing thread go on.
    if (number == finished_) {
      job_done_.notify_one();
    }
  }
}

void OrderedPool::finish_in_order() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    job_done_.wait(lock, [this] {
      return (finished_ < submitted_ && ring_[finished_ % ring_.size()].done) ||
             (stopping_ && finished_ == submitted_);
    });
    if (finished_ == submitted_) {
      return;  // stopping, and everything finished
    }
    Slot& slot = ring_[finished_ % ring_.size()];
    Finish finish = std::move(slot.finish);
    lock.unlock();
    if (finish) {
      finish();
    }
    lock.lock();
    slot.done = false;
    ++finished_;
    if (waiting_for_slots_ > 0 &&
        (submitted_ - finished_ <= ring_.size() / 2 || finished_ == submitted_)) {
      slot_freed_.notify_all();
    }
  }
}

}  // namespace tolvane
