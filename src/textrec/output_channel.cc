#include "textrec/output_channel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cdbbem {

output_channel::output_channel() : buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)) {}

output_channel::~output_channel() {
  if (owned_ && fd_ >= 0) {
    ::close(fd_);
  }
}

void output_channel::open_file(const std::string& path, channel unit) {
  path_ = path;
  unit_ = unit;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    int error = errno;
    fail(error == EACCES || error == EPERM || error == EROFS ? report::access_denied
                                                             : report::open_failure,
         unit);
  }
  fd_ = fd;
  owned_ = true;
  used_ = 0;
  flushed_ = 0;
  write_failed_ = false;
}

void output_channel::attach(int fd) {
  fd_ = fd;
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
  std::size_t done = 0;
  while (done < used_) {
    ssize_t put = ::write(fd_, buffer_.get() + done, used_ - done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      // The records that reached the file whole are kept; `finish` cuts
      // the one the failure split, and whatever an earlier run left after it.
      std::size_t last_end = std::string_view(buffer_.get(), done).rfind('\n');
      flushed_ += last_end == std::string_view::npos ? 0 : last_end + 1;
      write_failed_ = true;
      used_ = 0;
      if (owned_) {
        fail(report::write_error, unit_);
      }
      return;
    }
    done += static_cast<std::size_t>(put);
  }
  flushed_ += used_;
  used_ = 0;
}

void output_channel::finish() {
  if (fd_ < 0) {
    return;
  }
  flush();
  if (!owned_ || (flushed_ == 0 && !write_failed_)) {
    return;
  }
  struct stat info;
  if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::uint64_t>(info.st_size) > flushed_) {
    if (::ftruncate(fd_, static_cast<off_t>(flushed_)) != 0) {
      fail(report::write_error, unit_);
    }
  }
}

}  // namespace cdbbem
