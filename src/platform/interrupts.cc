#include "platform/interrupts.h"

#include <atomic>

namespace cdbbem {

namespace {

// What the interrupt handler knows of one guarded file.  The handler may run
// between any two instructions of the writer, so each field is a lock-free
// atomic, and the writer orders its stores so that every state the handler
// can see leads it to a cut after a whole line.
struct guard_slot {
  std::atomic<bool> taken{false};
  std::atomic<file_handle> file{no_file};
  std::atomic<std::uint64_t> kept{0};
  std::atomic<std::uint64_t> pending_at{0};
  std::atomic<const char*> pending_data{nullptr};
  std::atomic<std::size_t> pending_size{0};  // 0: no write in progress
  std::atomic<const void*> writer{nullptr};  // the thread writing, by token
};

static_assert(std::atomic<file_handle>::is_always_lock_free &&
                  std::atomic<std::uint64_t>::is_always_lock_free &&
                  std::atomic<const char*>::is_always_lock_free &&
                  std::atomic<std::size_t>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free &&
                  std::atomic<const void*>::is_always_lock_free,
              "the interrupt handler reads these fields and may take no lock");

guard_slot slots[max_guarded_files];

// Set by the first interrupt: from then on no guarded file is written to.
std::atomic<bool> stopping{false};

// Its address tells the threads apart, also inside a signal handler.
thread_local char thread_token;

}  // namespace

bool interrupt_guard::guard(file_handle file) noexcept {
  release();
  for (int k = 0; k < max_guarded_files; ++k) {
    guard_slot& s = slots[k];
    bool free = false;
    if (s.taken.compare_exchange_strong(free, true)) {
      s.kept = 0;
      s.pending_size = 0;
      s.file = file;
      slot_ = k;
      return true;
    }
  }
  return false;
}

void interrupt_guard::release() noexcept {
  if (slot_ >= 0) {
    slots[slot_].file = no_file;
    slots[slot_].taken = false;
    slot_ = -1;
  }
}

void interrupt_guard::writing(const char* data, std::size_t size, std::uint64_t at) noexcept {
  if (slot_ >= 0) {
    guard_slot& s = slots[slot_];
    s.pending_at = at;
    s.pending_data = data;
    s.writer = &thread_token;
    s.pending_size = size;  // after the three above: it makes them count
    // An interrupt that has begun waits for writes announced before it saw
    // them; one announced after must not reach the file.  Both sides store
    // first and load second, in one total order, so one sees the other.
    if (stopping.load()) {
      s.pending_size = 0;
      park_forever();
    }
  }
}

void interrupt_guard::kept(std::uint64_t size) noexcept {
  if (slot_ >= 0) {
    guard_slot& s = slots[slot_];
    s.kept = size;
    s.pending_size = 0;
  }
}

std::uint64_t interrupt_guard::keep_at(std::uint64_t reached) const noexcept {
  return slot_ >= 0 ? guarded_keep(slot_, reached) : 0;
}

bool stop_writers() noexcept {
  const void* self = &thread_token;
  if (stopping.exchange(true)) {
    // Another interrupt got here first and ends the process; a write this
    // thread had begun is given up, so that it is not waited for.
    for (guard_slot& s : slots) {
      if (s.writer.load() == self) {
        s.pending_size = 0;
      }
    }
    return false;
  }
  for (guard_slot& s : slots) {
    // A write another thread has begun reaches the file before the cut;
    // this thread's own, interrupted, is what `guarded_keep` accounts for.
    while (s.pending_size.load() != 0 && s.writer.load() != self) {
    }
  }
  return true;
}

file_handle guarded_file(int slot) noexcept { return slots[slot].file; }

std::uint64_t guarded_keep(int slot, std::uint64_t reached) noexcept {
  const guard_slot& s = slots[slot];
  std::uint64_t keep = s.kept;
  std::size_t size = s.pending_size;
  std::uint64_t at = s.pending_at;
  if (size == 0 || reached <= at) {
    return keep;
  }
  // Of a write in progress, the bytes that reached the file are kept up to
  // their last line feed.
  const char* data = s.pending_data;
  std::uint64_t n = reached - at < size ? reached - at : size;
  while (n > 0 && data[n - 1] != '\n') {
    --n;
  }
  return n > 0 && at + n > keep ? at + n : keep;
}

}  // namespace cdbbem
