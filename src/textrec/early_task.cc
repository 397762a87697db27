#include "textrec/early_task.h"

#include <system_error>
#include <utility>

#include "platform/fp_env.h"

namespace cdbbem {

early_task::~early_task() {
  if (side_.joinable()) {
    side_.join();
  }
}

void early_task::run() {
  try {
    task_();
  } catch (...) {
    failure_ = std::current_exception();
  }
  progress_.end();
}

void early_task::run_kept() {
  if (kept_) {
    kept_ = false;
    run();
  }
}

void early_task::start(bool parallel, std::function<void()> task) {
  task_ = std::move(task);
  kept_ = true;
  if (!parallel) {
    return;
  }
  const bool flushed = denormals_flushed();
  try {
    side_ = std::thread([this, flushed] {
      if (flushed) {
        flush_denormals();
      }
      run();
    });
    kept_ = false;
  } catch (const std::system_error&) {
    // No thread to be had: the task runs in place where it is needed.
  }
}

std::int64_t early_task::progress_beyond(std::int64_t seen, bool& ended) {
  run_kept();
  return progress_.wait_beyond(seen, ended);
}

void early_task::finish() {
  run_kept();
  if (side_.joinable()) {
    side_.join();
  }
  if (failure_) {
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }
}

}  // namespace cdbbem
