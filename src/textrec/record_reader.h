#ifndef CDBBEM_TEXTREC_RECORD_READER_H_
#define CDBBEM_TEXTREC_RECORD_READER_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "textrec/failure.h"

namespace cdbbem {

/// Where a record stands in its input: the offset of its first byte and its
/// one-based number.
struct record_mark {
  std::uint64_t offset = 0;
  std::int64_t line = 0;
};

/// Hands out the records (lines) of a text input one at a time, strictly
/// forward, from a file read through a bounded buffer or from text in
/// memory.  A record is the bytes up to the next LF, less one CR directly
/// before it; a last line without LF is still a record; a line holding only
/// byte 26 (SUB) ends the file.  A line longer than the buffer is cut to the
/// buffer's size and marked `truncated`; the rest of it is skipped.  A file
/// read several times must stay as it was when first opened: its identity is
/// compared at each reopening and at its end, and a difference raises 107.
/// A large file is viewed in place where the system allows it, with the
/// same records and reports as when it is read.
class record_reader {
 public:
  /// Size of the file buffer and so the longest record kept whole.
  static constexpr std::size_t buffer_size = std::size_t{1} << 20;

  record_reader();
  ~record_reader();
  record_reader(const record_reader&) = delete;
  record_reader& operator=(const record_reader&) = delete;

  /// Files of at least this many bytes are viewed in place where the
  /// system allows it; smaller ones, whose copy costs little, are read.
  static constexpr std::uint64_t view_from = std::uint64_t{64} << 20;

  /// Opens the file at `path` (an absolute path), read as channel `unit`,
  /// viewed when it has at least `view_at_least` bytes.  Raises 29 when the
  /// file or its directory does not exist, 9 when access is denied, 30 for
  /// any other failure.
  void open_file(const std::string& path, channel unit, std::uint64_t view_at_least = view_from);

  /// Reads records from `text`, which must outlive the reader's use.
  void open_memory(std::string_view text, channel unit);

  /// Back to the first record: the file is closed and opened again; raises
  /// 107 when it is no longer the file first opened, as it was then.
  void reopen();

  /// Opens the input `other` reads (the same file again, or the same text)
  /// at its first record, so that two passes can read it side by side;
  /// raises 107 as `reopen` does when the file has changed since `other`
  /// first opened it.
  void open_like(const record_reader& other);

  /// Raises 107 when the open file is no longer as it was when first
  /// opened (device, file number, size, modification time).  Nothing for
  /// text in memory.
  void check_unchanged() const;

  /// Where the record last returned stands, for `seek`.
  record_mark mark() const { return {mark_offset_, line_}; }

  /// The offset of the record `next` returns (while no cut record's rest is
  /// still to be skipped).
  std::uint64_t next_offset() const { return base_ + pos_; }

  /// The bytes of the input: the file's size as first opened, or the text's.
  std::uint64_t size() const { return from_memory_ ? memory_.size() : identity_.size; }

  /// Makes the record at `at` (a mark taken from this input, unchanged since)
  /// the next one returned, numbered as it was, so that a later pass can
  /// start where an earlier one saw something instead of reading everything
  /// before it again.  Raises the read-error report when the file cannot be
  /// positioned.
  void seek(const record_mark& at);

  /// Closes the file, keeping the buffer for another.
  void close();

  /// The next record into `record`; false at the end of the file.  The view
  /// stays valid until the next call.  Inline for the common record, whole
  /// in the buffer: a block of short records spends much of its time here.
  bool next(std::string_view& record) {
    if (!skip_rest_ && !ended_ && pos_ < end_) {
      const char* start = data_ + pos_;
      const auto* lf = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
      if (lf != nullptr) {
        const auto length = static_cast<std::size_t>(lf - start);
        std::size_t kept = length;
        if (kept > 0 && start[kept - 1] == '\r') {
          --kept;
        }
        // A view's page that could not be had reads as zeros: the full
        // reading then ends with a report.
        if (length < buffer_size && (kept != 1 || start[0] != '\x1a') &&
            !faults_->load(std::memory_order_relaxed)) {
          record = std::string_view(start, kept);
          truncated_ = false;
          mark_offset_ = base_ + pos_;
          pos_ += length + 1;
          ++line_;
          return true;
        }
      }
    }
    return next_in_full(record);
  }

  /// Passes over up to `count` records as `next` would, without handing
  /// them out, and returns how many: fewer at the end of the input (a last
  /// record without a line end is left to `next`) or at a record longer
  /// than the buffer.  A record of only SUB among them does not end
  /// the input here: the caller must check where this lands.  `mark()`
  /// still tells the record `next` returned last.
  std::int64_t pass_over(std::int64_t count);

  /// Whether `look` sees the input: text in memory or a viewed file.
  bool can_look() const { return from_memory_ || view_ != nullptr; }

  /// The first record that begins at or after `offset`, seen without
  /// moving the reading: its offset into `start` and its text, less a CR
  /// before its LF, into `record`.  False when `can_look` is false, when
  /// no record begins there, or when the record before it or the record
  /// itself does not end within the buffer's size.
  bool look(std::uint64_t offset, std::uint64_t& start, std::string_view& record) const;

  /// The next record; raises the end-of-file report when there is none.
  std::string_view next_or_fail();

  /// True when the record last returned was cut to the buffer's size.
  bool truncated() const { return truncated_; }

  /// One-based number of the record last returned (0 before the first).
  const std::int64_t& line_number() const { return line_; }

  /// The channel's number, quoted by failure reports.
  channel unit() const { return unit_; }

  /// The absolute path of the file (empty for text in memory).
  const std::string& path() const { return path_; }

 private:
  open_error open_path();
  bool next_in_full(std::string_view& record);
  bool skip_cut_rest();
  bool fill();
  void rewind();

  std::unique_ptr<char[]> buffer_;
  // A file is viewed where the system allows it: its bytes are read where
  // they lie, without a copy into the buffer, through a window of the
  // buffer's size that moves as the buffer's reading would.
  const char* view_ = nullptr;
  std::uint64_t view_size_ = 0;
  std::uint64_t view_at_least_ = view_from;
  const std::atomic<bool>* faults_;  // the view's faults (a flag never set without one)
  void check_view() const;
  std::uint64_t given_back_ = 0;  // the view's bytes before this are given back
  std::string_view memory_;
  std::string path_;
  channel unit_ = channel::none;
  std::intptr_t file_ = -1;  // the platform's file handle
  file_identity identity_;   // the file as first opened
  bool from_memory_ = false;
  const char* data_ = nullptr;     // start of the readable bytes
  std::uint64_t base_ = 0;         // offset in the input of data_[0]
  std::uint64_t mark_offset_ = 0;  // offset of the record last returned
  std::size_t pos_ = 0;            // next unread byte
  std::size_t end_ = 0;            // one past the last readable byte
  bool at_eof_ = false;            // the source has no more bytes to give
  bool ended_ = false;             // a SUB record or the end has been reached
  bool truncated_ = false;
  bool skip_rest_ = false;  // the last record was cut; skip to its LF
  std::int64_t line_ = 0;
};

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_RECORD_READER_H_
