#include "textrec/output_channel.h"

#include <cstring>

#include "platform/files.h"
#include "textrec/record_handover.h"

namespace cdbbem {

output_channel::output_channel() : buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)) {}

output_channel::~output_channel() { close(); }

void output_channel::close() {
  drop_pending();
  if (owned_) {
    guard_.release();
    close_file(file_);
  }
  file_ = no_file;
  owned_ = false;
  handover_ = nullptr;
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
  used_ = own_ = own_listed_ = 0;
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
  used_ = own_ = 0;
}

void output_channel::end_piece() { hand_over(true); }

void output_channel::list_own_records() {
  if (own_ > own_listed_) {
    pending_.push_back({buffer_.get() + own_listed_, own_ - own_listed_});
    own_listed_ = own_;
  }
}

void output_channel::append_block(record_handover_block& b, record_handover& from) {
  // Record by record, the buffer is flushed before a record that begins
  // with less than `max_record + 2` bytes of room: the records that begin
  // before that point go in at once, and the flush comes where writing
  // them one by one would have brought it.  A large block waits where it
  // is; a small one, or one beyond the few the channel holds (the
  // formatting thread needs the others back), is copied.
  constexpr std::size_t last_start = buffer_size - max_record - 2;
  constexpr std::size_t copied_below = std::size_t{64} << 10;
  const bool hold = held_.size() < most_held_blocks && b.size >= copied_below;
  const char* data = b.data.get();
  std::size_t size = b.size;
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
    if (hold) {
      list_own_records();
      pending_.push_back({data, take});
    } else {
      std::memcpy(buffer_.get() + own_, data, take);
      own_ += take;
    }
    used_ += take;
    data += take;
    size -= take;
  }
  if (!hold) {
    from.give_back(b);
    return;
  }
  held_.push_back(std::move(b));
  held_from_ = &from;
}

void output_channel::keep_blocks() noexcept {
  if (held_.empty()) {
    return;
  }
  list_own_records();
  // The parts move to where they stand in the order of the bytes, the last
  // first: a part of the buffer only ever moves up, past no part before it.
  std::size_t end = used_;
  for (auto part = pending_.rbegin(); part != pending_.rend(); ++part) {
    end -= part->size;
    std::memmove(buffer_.get() + end, part->data, part->size);
  }
  pending_.clear();
  own_ = own_listed_ = used_;
  for (record_handover_block& b : held_) {
    held_from_->give_back(b);
  }
  held_.clear();
}

void output_channel::drop_pending() noexcept {
  used_ = own_ = own_listed_ = 0;
  pending_.clear();
  for (record_handover_block& b : held_) {
    held_from_->give_back(b);
  }
  held_.clear();
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
    own_ += max_record;
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
  bool written = true;
  if (pending_.empty()) {
    written = write_out(buffer_.get(), used_);
  } else {
    list_own_records();
    for (const pending_bytes& part : pending_) {
      written = write_out(part.data, part.size);
      if (!written) {
        break;
      }
    }
  }
  drop_pending();
  if (!written && owned_) {
    fail(report::write_error, unit_);
  }
}

bool output_channel::write_out(const char* data, std::size_t size) {
  if (size == 0) {
    return true;
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
    return false;
  }
  flushed_ += size;
  return true;
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
