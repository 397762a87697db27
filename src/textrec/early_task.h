#ifndef CDBBEM_TEXTREC_EARLY_TASK_H_
#define CDBBEM_TEXTREC_EARLY_TASK_H_

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace cdbbem {

/// A count one thread raises and another waits on, with a mark for its end.
/// A mutex and a condition variable rather than an atomic's wait: that one
/// can miss a wake-up in some standard libraries where the system has no
/// futex.
class shared_count {
 public:
  /// Raises the count to `count` and wakes the waiting thread.
  void publish(std::int64_t count) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      count_ = count;
    }
    changed_.notify_all();
  }

  /// No higher count will come; safe to call more than once.
  void end() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
    }
    changed_.notify_all();
  }

  /// Waits until the count is above `seen` or the end is marked; returns
  /// the count, and sets `ended` when the end is marked.
  std::int64_t wait_beyond(std::int64_t seen, bool& ended) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return count_ > seen || ended_; });
    ended = ended_;
    return count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t count_ = 0;
  bool ended_ = false;
};

/// Work that the one-thread order does at a later point, started early on
/// a thread of its own.  `finish` marks the point where the one-thread
/// order does it: a task that was not started on a thread runs there, in
/// place, and a task that was is waited for; either way its failure is
/// raised there and not before, so that a failure the one-thread order
/// meets first still wins.  A task may tell how far it has come on
/// `progress()`, which `progress_beyond` follows.  This is the one way the
/// program puts work on another thread.
class early_task {
 public:
  early_task() = default;
  early_task(const early_task&) = delete;
  early_task& operator=(const early_task&) = delete;

  /// Waits for the task's thread, if it has one; a failure not raised by
  /// `finish` is dropped, and so is a task kept for later and never run.
  ~early_task();

  /// Starts `task` on a thread of its own (under this thread's
  /// floating-point state) when `parallel` and the system gives a thread;
  /// otherwise keeps it to run in place where it is first needed.  The task
  /// must not touch what this thread touches until then, and must end
  /// without anything from this thread.
  void start(bool parallel, std::function<void()> task);

  /// Whether the task runs on a thread of its own.
  bool beside() const { return side_.joinable(); }

  /// The count on which the task tells its progress; its end is marked
  /// when the task ends, whether it failed or not.
  shared_count& progress() { return progress_; }

  /// Waits until the task's progress is above `seen` or the task has
  /// ended, and returns its progress; sets `ended` once it has ended.  A
  /// task kept for later runs here first, whole.
  std::int64_t progress_beyond(std::int64_t seen, bool& ended);

  /// The point where the one-thread order does the task: runs it here when
  /// it was kept, else waits for its thread; then raises its failure.
  void finish();

 private:
  // Runs the task, keeping its failure, and marks the end of its progress.
  void run();
  void run_kept();

  std::function<void()> task_;
  std::thread side_;
  std::exception_ptr failure_;
  shared_count progress_;
  bool kept_ = false;
};

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_EARLY_TASK_H_
