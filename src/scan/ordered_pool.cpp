#include "scan/ordered_pool.h"

#include <algorithm>
#include <utility>

#include "platform/console.h"

namespace tolvane {
namespace {

std::string console_line(const std::string& path, const ExtractResult& result) {
  switch (result.outcome) {
    case ExtractOutcome::kExtracted:
      return "Extracted music from " + quoted_path(path) + "\n";
    case ExtractOutcome::kNoMusic:
      return "No music in " + quoted_path(path) + " skipping file.\n";
    case ExtractOutcome::kWriteFailed:
      return "Could not write music from " + quoted_path(path) + " to " +
             quoted_path(result.output_path) + ": " + result.reason + "\n";
  }
  return {};
}

}  // namespace

OrderedPool::OrderedPool(unsigned workers, std::size_t slots, const OutputDir& output)
    : workers_(std::max(workers, 1U)),
      output_(output),
      names_(output),
      ring_(std::max<std::size_t>(slots, 1)) {
  for (unsigned i = 0; i < workers_; ++i) {
    threads_.emplace_back([this] { work(); });
  }
}

OrderedPool::~OrderedPool() {
  std::unique_lock<std::mutex> lock(mutex_);
  slot_freed_.wait(lock, [this] { return finished_ == submitted_; });
  stopping_ = true;
  lock.unlock();
  job_ready_.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
}

void OrderedPool::submit(Job job) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (submitted_ - finished_ == ring_.size()) {
    // Until half the slots are free rather than one, so that the walk and
    // the workers do not wake each other for every file.
    slot_freed_.wait(lock, [this] { return submitted_ - finished_ <= ring_.size() / 2; });
  }
  slot(submitted_).job = std::move(job);
  ++submitted_;
  lock.unlock();
  job_ready_.notify_one();
}

// A fair share of the waiting jobs, so that a slow file holds up few others.
OrderedPool::Run OrderedPool::take_run() {
  const std::uint64_t waiting = submitted_ - taken_;
  const Run run{taken_,
                std::min({kMaxRun, waiting, std::max<std::uint64_t>(1, waiting / workers_)})};
  taken_ += run.size;
  return run;
}

void OrderedPool::open_inputs(Run run) {
  for (std::uint64_t job = run.first; job < run.first + run.size; ++job) {
    Slot& taken = slot(job);
    taken.input = taken.job.line.empty() ? open_track_input(taken.job.directory, taken.job.name)
                                         : std::nullopt;
  }
}

void OrderedPool::work() {
  Run current{0, 0};
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (current.size == 0) {
      job_ready_.wait(lock, [this] { return stopping_ || taken_ < submitted_; });
      if (taken_ == submitted_) {
        return;  // stopping, and nothing left to take
      }
      current = take_run();
      lock.unlock();
      open_inputs(current);
      lock.lock();
    }
    // When the walk is a run ahead, the next run's files are opened first,
    // so that their first bytes come in from a cold disk meanwhile.
    const Run next = submitted_ - taken_ >= kMaxRun ? take_run() : Run{0, 0};
    lock.unlock();
    open_inputs(next);
    for (std::uint64_t job = current.first; job < current.first + current.size; ++job) {
      Slot& taken = slot(job);
      if (taken.job.line.empty()) {
        taken.track = extract_track(taken.input, output_);
      }
      lock.lock();
      taken.done = true;
      retire_done_jobs(lock);
      lock.unlock();
    }
    current = next;
    lock.lock();
  }
}

// Publishes and prints, on whichever worker completed the next job, every job
// done and next in order, unless another worker is at it. A pass's lines go
// out in one write, and its jobs count as finished only after it.
void OrderedPool::retire_done_jobs(std::unique_lock<std::mutex>& lock) {
  if (retiring_) {
    return;
  }
  retiring_ = true;
  std::string text;
  for (;;) {
    std::uint64_t next = finished_;
    while (next < submitted_ && slot(next).done) {
      Slot& done = slot(next);
      lock.unlock();
      if (done.job.line.empty()) {
        done.job.line = console_line(done.job.path, names_.publish(std::move(done.track)));
      }
      text += done.job.line;
      // Lets go of the file's directory before the slot is reused.
      done.job = Job{};
      lock.lock();
      ++next;
    }
    if (next == finished_) {
      break;
    }
    lock.unlock();
    print(text);
    text.clear();
    lock.lock();
    for (; finished_ < next; ++finished_) {
      slot(finished_).done = false;
    }
    if (submitted_ - finished_ <= ring_.size() / 2) {
      slot_freed_.notify_all();
    }
  }
  retiring_ = false;
}

}  // namespace tolvane
