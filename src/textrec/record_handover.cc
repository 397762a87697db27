#include "textrec/record_handover.h"

#include <new>
#include <utility>

namespace cdbbem {

bool record_handover::reserve(std::size_t buffers, std::size_t buffer_size) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t k = 0; k < buffers; ++k) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[buffer_size]);
    if (buffer == nullptr) {
      empty_.clear();
      return false;
    }
    empty_.push_back(std::move(buffer));
  }
  return true;
}

void record_handover::give(block& b) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (abandoned_) {
    b.size = 0;
    return;
  }
  changed_.wait(lock, [&] { return !empty_.empty() || abandoned_; });
  if (abandoned_) {
    b.size = 0;
    return;
  }
  block next;
  next.data = std::move(empty_.back());
  empty_.pop_back();
  full_.push_back(std::exchange(b, std::move(next)));
  lock.unlock();
  changed_.notify_all();
}

void record_handover::end() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
}

bool record_handover::take(block& b) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !full_.empty() || ended_; });
  if (full_.empty()) {
    return false;
  }
  b = std::move(full_.front());
  full_.pop_front();
  return true;
}

void record_handover::give_back(block& b) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    empty_.push_back(std::move(b.data));
    b = block{};
  }
  changed_.notify_all();
}

void record_handover::abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
  }
  changed_.notify_all();
}

bool record_handover::abandoned() {
  std::lock_guard<std::mutex> lock(mutex_);
  return abandoned_;
}

}  // namespace cdbbem
