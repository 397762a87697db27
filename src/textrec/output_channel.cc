#include "textrec/output_channel.h"

#include <cstring>

#include "platform/files.h"
#include "textrec/record_handover.h"

namespace cdbbem {

output_channel::output_channel() : buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)) {}

output_channel::~output_channel() { close(); }

void output_channel::close() {
  if (owned_) {
    guard_.release();
    close_file(file_);
  }
  file_ = no_file;
  owned_ = false;
  handover_ = nullptr;
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

void output_channel::open_handover(record_handover& to) {
  close();
  handover_ = &to;
  unit_ = channel::none;
  start_writing();
}

void output_channel::hand_over(bool piece_end) {
  record_handover::block b{std::move(buffer_), used_, piece_end};
  handover_->give(b);
  buffer_ = std::move(b.data);
  flushed_ += used_;
  used_ = 0;
}

void output_channel::end_piece() { hand_over(true); }

void output_channel::append_records(const char* data, std::size_t size) {
  // Record by record, the buffer is flushed before a record that begins
  // with less than `max_record + 2` bytes of room: the records that begin
  // before that point are copied at once, and the buffer flushed where
  // writing them one by one would have flushed it.
  constexpr std::size_t last_start = buffer_size - max_record - 2;
  while (size > 0) {
    if (used_ > last_start) {
      flush();
    }
    std::size_t take = size;
    const std::size_t room_to_start = last_start - used_;
    if (room_to_start < size) {
      const void* end = std::memchr(data + room_to_start, '\n', size - room_to_start);
      if (end != nullptr) {
        take = static_cast<std::size_t>(static_cast<const char*>(end) - data) + 1;
      }
    }
    std::memcpy(buffer_.get() + used_, data, take);
    used_ += take;
    data += take;
    size -= take;
  }
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
  if (handover_ != nullptr) {
    hand_over(false);
    return;
  }
  write_out(buffer_.get(), used_);
  used_ = 0;
}

void output_channel::write_out(const char* data, std::size_t size) {
  if (size == 0) {
    return;
  }
  // An interrupt during the write keeps the records of these bytes that
  // reached the file; the guard learns where they end.
  guard_.writing(data, size, flushed_);
  std::size_t done = write_all(file_, data, size);
  std::size_t last_end = std::string_view(data, done).rfind('\n');
  if (last_end != std::string_view::npos) {
    whole_ = flushed_ + last_end + 1;
  }
  guard_.kept(whole_);
  if (done < size) {
    // The records that reached the file whole are kept; `finish` cuts the
    // one the failure split, and whatever an earlier run left after it.
    flushed_ = whole_;
    write_failed_ = true;
    used_ = 0;
    if (owned_) {
      fail(report::write_error, unit_);
    }
    return;
  }
  flushed_ += size;
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
