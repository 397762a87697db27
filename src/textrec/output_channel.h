#ifndef CDBBEM_TEXTREC_OUTPUT_CHANNEL_H_
#define CDBBEM_TEXTREC_OUTPUT_CHANNEL_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/interrupts.h"
#include "textrec/failure.h"

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

  /// Whether the channel writes a regular file, which `open_part` needs.
  bool regular_file() const;

  /// Makes this channel write the part of `whole`'s file from byte `offset`
  /// on, on another thread while `whole` writes the bytes before it, by
  /// positioned writes (only where `writes_at_keep_position`).  Failures
  /// raise 38 on `whole`'s unit.  An interrupt waits for this channel's
  /// writes but never cuts after them: the cut of `whole`'s file, after its
  /// own last whole record, removes them.
  void open_part(const output_channel& whole, std::uint64_t offset);

  /// Takes the records of `part` (opened on this channel, flushed here)
  /// as this channel's own when they follow this channel's bytes exactly,
  /// so that `finish` and an interrupt keep them; closes `part`.  False,
  /// taking nothing, when they do not follow.
  bool join_part(output_channel& part);

  /// Writes to an already open file of the platform that the channel does
  /// not own, such as standard output; write failures there are not reported.
  void attach(std::intptr_t file);

  /// Room for a record of up to `max_record` characters; build it at the
  /// returned pointer, then call `end_record` with its length.
  char* begin_record() {
    if (buffer_size - used_ < max_record + 2) {
      flush();
    }
    return buffer_.get() + used_;
  }

  /// Ends the record built at `begin_record`'s pointer with CR LF.
  void end_record(std::size_t length) {
    char* p = buffer_.get() + used_ + length;
    p[0] = '\r';
    p[1] = '\n';
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

  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t flushed_ = 0;
  std::string path_;
  channel unit_ = channel::none;
  std::intptr_t file_ = -1;  // the platform's file handle
  bool owned_ = false;
  bool part_ = false;          // writes a part of another channel's file
  std::uint64_t offset_ = 0;   // where that part starts
  bool write_failed_ = false;  // a write to the file failed part-way
  std::uint64_t whole_ = 0;    // bytes of the file known to end after a record
  interrupt_guard guard_;
};

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_OUTPUT_CHANNEL_H_
