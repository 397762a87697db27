#ifndef CDBBEM_TEXTREC_OUTPUT_CHANNEL_H_
#define CDBBEM_TEXTREC_OUTPUT_CHANNEL_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/interrupts.h"
#include "textrec/failure.h"
#include "textrec/record_handover.h"

namespace cdbbem {

/// A text output file (or standard output) written record by record through
/// a bounded buffer.  Records are built in place in the buffer and end with
/// CR LF.  A file is written from its start without being emptied on open;
/// `finish` cuts it after the last record when it received any, and so does
/// an interrupt that ends the process while it is written.
class output_channel {
 public:
  /// Size of the output buffer.
  static constexpr std::size_t buffer_size = std::size_t{1} << 20;
  /// Longest record a caller may build in place.
  static constexpr std::size_t max_record = 512;
  /// Most blocks `append_block` holds at once: a handover feeding it needs
  /// more buffers than that, or its formatting thread would wait for ever.
  static constexpr std::size_t most_held_blocks = 2;

  output_channel();
  ~output_channel();
  output_channel(const output_channel&) = delete;
  output_channel& operator=(const output_channel&) = delete;

  /// Opens or creates the file at `path` as channel `unit`, closing the
  /// file the channel had; raises 9 when access is denied and 30 for any
  /// other failure.
  void open_file(const std::string& path, channel unit);

  /// Takes the exclusive advisory lock on the open file, held until it is
  /// closed; false when another open file holds it.
  bool try_lock();

  /// Closes the file the channel owns, keeping its buffer for another.
  /// Whatever was not flushed is dropped.
  void close();

  /// Makes the channel format records into buffers that it hands to
  /// `to`'s writing thread when full, and at each `end_piece`, instead of
  /// writing a file; closes the file it had.
  void open_handover(record_handover& to);

  /// Hands the records built since the last piece ended over, marked as
  /// the end of a piece (a channel opened by `open_handover`).
  void end_piece();

  /// Adds the whole records of `b` (each of at most `max_record`
  /// characters and CR LF) after those handed to the channel so far,
  /// flushing exactly where building them one by one would have, without
  /// copying them: the channel holds `b` until its bytes are written, then
  /// gives it back to `from` (or at `keep_blocks`).
  void append_block(record_handover_block& b, record_handover& from);

  /// Copies the records of the blocks the channel holds into its own
  /// buffer and gives the blocks back, so that their handover may end.
  void keep_blocks() noexcept;

  /// Writes to an already open file of the platform that the channel does
  /// not own, such as standard output; write failures there are not reported.
  void attach(std::intptr_t file);

  /// Room for a record of up to `max_record` characters; build it at the
  /// returned pointer, then call `end_record` with its length.
  char* begin_record() {
    if (buffer_size - used_ < max_record + 2) {
      flush();
    }
    return buffer_.get() + own_;
  }

  /// Ends the record built at `begin_record`'s pointer with CR LF.
  void end_record(std::size_t length) {
    char* p = buffer_.get() + own_ + length;
    p[0] = '\r';
    p[1] = '\n';
    own_ += length + 2;
    used_ += length + 2;
  }

  /// Writes `text` and CR LF as one record.
  void write_record(std::string_view text);

  /// Hands the buffer to the file; raises 38 when the file refuses it.
  void flush();

  /// Flushes, then cuts a regular file after the last record when anything
  /// was written to it (after the last record that reached it whole when a
  /// write failed).  Safe to call more than once.
  void finish();

  /// Bytes handed to the channel so far.
  std::uint64_t bytes_written() const { return flushed_ + used_; }

  /// The channel's number, quoted by failure reports.
  channel unit() const { return unit_; }

  /// Absolute path of the file (empty for standard output).
  const std::string& path() const { return path_; }

 private:
  // Nothing written yet, nothing failed.
  void start_writing();
  // Writes `size` bytes at `data` to the file after those written so far;
  // false when the file took only part of them.
  bool write_out(const char* data, std::size_t size);
  // Hands the buffer to the handover's writing thread.
  void hand_over(bool piece_end);
  // Lists the channel's own records since the last listed.
  void list_own_records();
  // Forgets what was not written and gives the held blocks back.
  void drop_pending() noexcept;

  // Bytes waiting to be written, in order: parts of the buffer and of
  // the blocks held.
  struct pending_bytes {
    const char* data;
    std::size_t size;
  };

  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;                // bytes waiting, the held blocks' included
  std::size_t own_ = 0;                 // bytes of the buffer in use
  std::size_t own_listed_ = 0;          // of those, the bytes listed in `pending_`
  std::vector<pending_bytes> pending_;  // empty while only the buffer waits
  std::vector<record_handover_block> held_;
  record_handover* held_from_ = nullptr;
  std::uint64_t flushed_ = 0;
  std::string path_;
  channel unit_ = channel::none;
  std::intptr_t file_ = -1;  // the platform's file handle
  bool owned_ = false;
  record_handover* handover_ = nullptr;  // formats for another thread's file
  bool write_failed_ = false;            // a write to the file failed part-way
  std::uint64_t whole_ = 0;              // bytes of the file known to end after a record
  interrupt_guard guard_;
};

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_OUTPUT_CHANNEL_H_
