#include "textrec/output_channel.h"

#include <cstring>

#include "platform/files.h"

namespace cdbbem {

output_channel::output_channel() : buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)) {}

output_channel::~output_channel() {
  if (owned_) {
    close_file(file_);
  }
}

void output_channel::open_file(const std::string& path, channel unit) {
  path_ = path;
  unit_ = unit;
  open_error error;
  file_handle file = open_for_writing(path, error);
  if (file == no_file) {
    fail(error == open_error::access_denied ? report::access_denied : report::open_failure, unit);
  }
  file_ = file;
  owned_ = true;
  used_ = 0;
  flushed_ = 0;
  write_failed_ = false;
}

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
  std::size_t done = write_all(file_, buffer_.get(), used_);
  if (done < used_) {
    // The records that reached the file whole are kept; `finish` cuts the
    // one the failure split, and whatever an earlier run left after it.
    std::size_t last_end = std::string_view(buffer_.get(), done).rfind('\n');
    flushed_ += last_end == std::string_view::npos ? 0 : last_end + 1;
    write_failed_ = true;
    used_ = 0;
    if (owned_) {
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
