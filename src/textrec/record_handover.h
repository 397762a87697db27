#ifndef CDBBEM_TEXTREC_RECORD_HANDOVER_H_
#define CDBBEM_TEXTREC_RECORD_HANDOVER_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace cdbbem {

/// One buffer of records; `piece_end` marks the last of a piece.
struct record_handover_block {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  bool piece_end = false;
};

/// Buffers of whole records passed, in order, from a thread that formats
/// them to the thread that writes them, with a bounded number of buffers
/// in all: the formatting thread waits while the writing thread is behind.
class record_handover {
 public:
  using block = record_handover_block;

  /// Sets aside `buffers` buffers of `buffer_size` bytes for the formatting
  /// thread to fill; false, with none kept, when the system refuses them.
  bool reserve(std::size_t buffers, std::size_t buffer_size);

  /// Formatting thread: passes the filled `b` on and puts an empty buffer
  /// in its place, waiting for one while every buffer is full.  Once the
  /// writing thread has given up, `b` is only emptied.
  void give(block& b);

  /// Formatting thread: no more blocks come.
  void end();

  /// Writing thread: the next block, waiting for it; false when the
  /// formatting thread ended before giving one.
  bool take(block& b);

  /// Writing thread: `b`, written, comes back to be filled again.
  void give_back(block& b);

  /// Writing thread: takes nothing more; the formatting thread stops
  /// waiting.
  void abandon();

  /// Whether the writing thread has given up.
  bool abandoned();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<block> full_;
  std::vector<std::unique_ptr<char[]>> empty_;
  bool ended_ = false;
  bool abandoned_ = false;
};

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_RECORD_HANDOVER_H_
