#ifndef CDBBEM_TEXTREC_TWO_TASKS_H_
#define CDBBEM_TEXTREC_TWO_TASKS_H_

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/fp_env.h"

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

/// Runs `first` on this thread and `second` on a new thread beside it (under
/// the caller's floating-point state) and ends as the one-thread order
/// `first`, `second` would: a failure `first` raises wins over anything
/// `second` does, and both have ended when this returns or raises.  Each may
/// wait for the other.  False, having run neither, when no thread can be
/// had.
template <typename First, typename Second>
bool try_run_two(First&& first, Second&& second) {
  const bool flushed = denormals_flushed();
  std::exception_ptr second_failure;
  std::thread side;
  try {
    side = std::thread([&second, &second_failure, flushed] {
      if (flushed) {
        flush_denormals();
      }
      try {
        second();
      } catch (...) {
        second_failure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  std::exception_ptr first_failure;
  try {
    first();
  } catch (...) {
    first_failure = std::current_exception();
  }
  side.join();
  if (first_failure) {
    std::rethrow_exception(first_failure);
  }
  if (second_failure) {
    std::rethrow_exception(second_failure);
  }
  return true;
}

/// Runs `first`, then `second`, and ends as that one-thread order would:
/// a failure `first` raises wins over anything `second` does.  When
/// `parallel`, `second` runs on a thread of its own beside `first`, so it
/// must not touch what `first` touches and must leave nothing observable
/// behind when it fails or when `first` fails; both have ended when this
/// returns or raises.  `first` may wait for something `second` does: when
/// no thread can be had, `second` runs to its end on this thread before
/// `first`, one of the orders the two threads could have taken.
template <typename First, typename Second>
void run_two(bool parallel, First&& first, Second&& second) {
  if (!parallel) {
    std::forward<First>(first)();
    std::forward<Second>(second)();
    return;
  }
  if (try_run_two(first, second)) {
    return;
  }
  // No thread to be had: the side task first, its failure held back.
  std::exception_ptr second_failure;
  try {
    second();
  } catch (...) {
    second_failure = std::current_exception();
  }
  std::forward<First>(first)();
  if (second_failure) {
    std::rethrow_exception(second_failure);
  }
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_TWO_TASKS_H_
