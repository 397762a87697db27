#include "textrec/output_channel.h"

#include <cstring>

#include "platform/files.h"

namespace cdbbem {

output_channel::output_channel() : buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)) {}

output_channel::~output_channel() { close(); }

void output_channel::close() {
  if (owned_ || part_) {
    guard_.release();
  }
  if (owned_) {
    close_file(file_);
  }
  file_ = no_file;
  owned_ = false;
  part_ = false;
  used_ = 0;
}

void output_channel::open_file(const std::string& path, channel unit) {
  close();
  path_ = path;
  unit_ = unit;
  open_error error;
  file_handle file = open_for_writing(path, error);
  if (file == no_file) {
    fail(error == open_error::access_denied ? report::access_denied : report::open_failure, unit);
  }
  file_ = file;
  owned_ = true;
  start_writing();
  guard_.guard(file);
}

void output_channel::start_writing() {
  used_ = 0;
  flushed_ = 0;
  whole_ = 0;
  write_failed_ = false;
}

bool output_channel::regular_file() const { return file_ != no_file && is_regular_file(file_); }

void output_channel::open_part(const output_channel& whole, std::uint64_t offset) {
  close();
  path_ = whole.path_;
  unit_ = whole.unit_;
  file_ = whole.file_;
  part_ = true;
  offset_ = offset;
  start_writing();
  // Guarded without a file: the interrupt handler waits for a write begun
  // here, and parks this thread before a new one, but cuts nothing itself.
  guard_.guard(no_file);
}

bool output_channel::join_part(output_channel& part) {
  flush();
  part.flush();
  const bool follows = part.part_ && part.file_ == file_ && part.offset_ == bytes_written() &&
                       !write_failed_ && !part.write_failed_;
  if (follows) {
    flushed_ = part.offset_ + part.flushed_;
    whole_ = flushed_;
    guard_.kept(whole_);
  }
  part.close();
  return follows;
}

bool output_channel::try_lock() { return lock_exclusive(file_); }

void output_channel::attach(std::intptr_t file) {
  file_ = file;
  owned_ = false;
  unit_ = channel::none;
}

void output_channel::write_record(std::string_view text) {
  std::size_t at = 0;
  // Long texts go through in pieces; records from this program are short.
  while (text.size() - at > max_record) {
    char* dst = begin_record();
    std::memcpy(dst, text.data() + at, max_record);
    used_ += max_record;
    at += max_record;
  }
  char* dst = begin_record();
  std::memcpy(dst, text.data() + at, text.size() - at);
  end_record(text.size() - at);
}

void output_channel::flush() {
  if (used_ == 0) {
    return;
  }
  // An interrupt during the write keeps the records of this buffer that
  // reached the file; the guard learns where they end.
  guard_.writing(buffer_.get(), used_, flushed_);
  std::size_t done = part_ ? write_all_at(file_, buffer_.get(), used_, offset_ + flushed_)
                           : write_all(file_, buffer_.get(), used_);
  std::size_t last_end = std::string_view(buffer_.get(), done).rfind('\n');
  if (last_end != std::string_view::npos) {
    whole_ = flushed_ + last_end + 1;
  }
  guard_.kept(whole_);
  if (done < used_) {
    // The records that reached the file whole are kept; `finish` cuts the
    // one the failure split, and whatever an earlier run left after it.
    flushed_ = whole_;
    write_failed_ = true;
    used_ = 0;
    if (owned_ || part_) {
      fail(report::write_error, unit_);
    }
    return;
  }
  flushed_ += used_;
  used_ = 0;
}

void output_channel::finish() {
  if (file_ == no_file) {
    return;
  }
  flush();
  if (!owned_ || (flushed_ == 0 && !write_failed_)) {
    return;
  }
  if (!cut_after(file_, flushed_)) {
    fail(report::write_error, unit_);
  }
}

}  // namespace cdbbem
