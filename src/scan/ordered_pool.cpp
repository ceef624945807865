#include "scan/ordered_pool.h"

#include <algorithm>
#include <functional>
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

OrderedPool::OrderedPool(unsigned workers, std::size_t window, const OutputDir& output)
    : workers_(std::max(workers, 1U)),
      output_(output),
      names_(output),
      ring_(std::max<std::size_t>(window, 1)) {
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
  if (submitted_ - finished_ == ring_.size() || text_bytes_ >= kMaxTextBytes) {
    // Until half of them are free rather than enough for one, so that the
    // walk and the workers do not wake each other for every file.
    slot_freed_.wait(lock, [this] { return half_free(); });
  }
  text_bytes_ += job.path.size() + job.line.size();
  slot(submitted_).job = std::move(job);
  add_waiting(submitted_);
  ++submitted_;
  lock.unlock();
  job_ready_.notify_one();
}

void OrderedPool::add_waiting(std::uint64_t job) {
  const std::pair<std::uint64_t, std::uint64_t> entry{slot(job).job.disk_order, job};
  Waiting& sweep = entry.first >= sweep_ ? this_sweep_ : next_sweep_;
  sweep.push_back(entry);
  std::push_heap(sweep.begin(), sweep.end(), std::greater<>());
}

// The next jobs up the disk order from the last one taken, the sweep
// starting over at the lowest once it is past the highest: a fair share of
// the waiting jobs, so that a slow file holds up few others.
OrderedPool::Run OrderedPool::take_run() {
  Run run;
  const std::size_t share =
      std::min({kMaxRun, waiting(), std::max<std::size_t>(1, waiting() / workers_)});
  if (this_sweep_.empty()) {
    this_sweep_.swap(next_sweep_);
  }
  while (run.size < share && !this_sweep_.empty()) {
    std::pop_heap(this_sweep_.begin(), this_sweep_.end(), std::greater<>());
    sweep_ = this_sweep_.back().first;
    run.jobs[run.size++] = this_sweep_.back().second;
    this_sweep_.pop_back();
  }
  return run;
}

// Takes the next run and opens its files, which has the system start reading
// them: one run at a time in all workers, so that the system is asked for
// the files in the order they lie on the disk. A run ends with a track that
// streams from the disk: the files after it go back to wait, and no run is
// opened until it is copied, so that its stream is read without a break.
OrderedPool::Run OrderedPool::open_run(std::unique_lock<std::mutex>& lock) {
  opened_.wait(lock, [this] { return !opening_; });
  opening_ = true;
  Run run = take_run();
  lock.unlock();
  std::size_t opened = 0;
  while (opened < run.size && !run.streams) {
    Slot& taken = slot(run.jobs[opened++]);
    taken.input = taken.job.line.empty() ? open_track_input(taken.job.directory, taken.job.name)
                                         : std::nullopt;
    run.streams = taken.input && streams_from_disk(*taken.input);
  }
  lock.lock();
  if (opened < run.size) {
    sweep_ = slot(run.jobs[opened - 1]).job.disk_order;
    for (std::size_t i = opened; i < run.size; ++i) {
      add_waiting(run.jobs[i]);
    }
    run.size = opened;
    job_ready_.notify_one();
  }
  if (!run.streams) {
    done_opening();
  }
  return run;
}

void OrderedPool::done_opening() {
  opening_ = false;
  opened_.notify_all();
}

void OrderedPool::work() {
  Run current;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (current.size == 0) {
      job_ready_.wait(lock, [this] { return stopping_ || waiting() > 0; });
      if (waiting() == 0) {
        return;  // stopping, and nothing left to take
      }
      current = open_run(lock);
      continue;
    }
    // When the walk is a run ahead, and the next run may be opened at once
    // rather than after another worker's stream, its files are opened first,
    // so that they come in from a cold disk meanwhile.
    const Run next = waiting() >= kMaxRun && !current.streams && !opening_ ? open_run(lock) : Run{};
    for (std::size_t i = 0; i < current.size; ++i) {
      Slot& taken = slot(current.jobs[i]);
      if (taken.job.line.empty()) {
        lock.unlock();
        taken.track = extract_track(taken.input, output_);
        lock.lock();
      }
      taken.done = true;
      retire_done_jobs(lock);
    }
    if (current.streams) {
      done_opening();  // the stream that ends the run is copied
    }
    current = next;
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
  std::size_t released = 0;  // bytes of paths and lines the pass lets go of
  for (;;) {
    std::uint64_t next = finished_;
    while (next < submitted_ && slot(next).done) {
      Slot& done = slot(next);
      lock.unlock();
      released += done.job.path.size() + done.job.line.size();
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
    text_bytes_ -= released;
    released = 0;
    if (half_free()) {
      slot_freed_.notify_all();
    }
  }
  retiring_ = false;
}

}  // namespace tolvane
