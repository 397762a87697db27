#include "textrec/record_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define CDBBEM_PASS_LINES_AVX2 1
#endif

#include "platform/files.h"

namespace cdbbem {

namespace {

// The file buffer also holds the CR LF of a record of the longest length
// kept whole, so that such a record is seen to end there.
constexpr std::size_t buffer_capacity = record_reader::buffer_size + 2;

// Counts `lines` down by the line ends in the `n` bytes at `p`, stopping at
// the one that brings it to 0; returns the offset just past the last line
// end counted (0 when there is none).  16 bytes a step with SSE2.
std::size_t pass_lines_by_16(const char* p, std::size_t n, std::int64_t& lines) {
  std::size_t past = 0;
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  for (; k + 16 <= n && lines > 0; k += 16) {
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)), lf)));
    if (mask == 0) {
      continue;
    }
    const int found = std::popcount(mask);
    if (found < lines) {
      lines -= found;
      past = k + 16 - static_cast<std::size_t>(std::countl_zero(mask << 16));
      continue;
    }
    for (; lines > 1; --lines) {
      mask &= mask - 1;
    }
    lines = 0;
    return k + static_cast<std::size_t>(std::countr_zero(mask)) + 1;
  }
#endif
  for (; k < n && lines > 0; ++k) {
    if (p[k] == '\n') {
      --lines;
      past = k + 1;
    }
  }
  return past;
}

#ifdef CDBBEM_PASS_LINES_AVX2
// With AVX2, 64 bytes a step, their line ends counted at once; where the
// last line end counted lies is found only where the counting stops.
[[gnu::target("avx2,popcnt")]] std::size_t pass_lines_by_64(const char* p, std::size_t n,
                                                            std::int64_t& lines) {
  const __m256i lf = _mm256_set1_epi8('\n');
  std::size_t k = 0;
  for (; k + 64 <= n; k += 64) {
    const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k)), lf)));
    const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k + 32)), lf)));
    const int found = std::popcount(std::uint64_t{high} << 32 | low);
    if (found >= lines) {
      break;
    }
    lines -= found;
  }
  const std::size_t past = pass_lines_by_16(p + k, n - k, lines);
  if (past > 0) {
    return k + past;
  }
  const std::size_t last = std::string_view(p, k).rfind('\n');
  return last == std::string_view::npos ? 0 : last + 1;
}
#endif

std::size_t pass_lines(const char* p, std::size_t n, std::int64_t& lines) {
#ifdef CDBBEM_PASS_LINES_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  if (avx2) {
    return pass_lines_by_64(p, n, lines);
  }
#endif
  return pass_lines_by_16(p, n, lines);
}

[[noreturn]] void fail_open(open_error error, channel unit) {
  if (error == open_error::not_found) {
    fail(report::file_not_found, unit);
  }
  if (error == open_error::access_denied) {
    fail(report::access_denied, unit);
  }
  fail(report::open_failure, unit);
}

}  // namespace

record_reader::record_reader() : faults_(&view_faults(nullptr)) {}

// A view whose page could not be had: the file cut (107) or not readable.
void record_reader::check_view() const {
  if (view_ != nullptr && faults_->load(std::memory_order_relaxed)) {
    check_unchanged();
    fail(report::read_error, unit_);
  }
}

record_reader::~record_reader() { close(); }

void record_reader::close() {
  end_view(view_, view_size_);
  view_ = nullptr;
  view_size_ = 0;
  faults_ = &view_faults(nullptr);
  close_file(file_);
  file_ = no_file;
}

open_error record_reader::open_path() {
  close();
  // The input is read several times from its start, so only a regular file
  // will do.
  open_error error;
  file_ = open_for_reading(path_, error);
  if (file_ == no_file) {
    return error;
  }
  if (!buffer_) {
    buffer_ = std::make_unique_for_overwrite<char[]>(buffer_capacity);
  }
  file_identity now;
  if (identify_file(file_, now) && now.size >= view_at_least_) {
    view_ = view_file(file_, now.size);
    view_size_ = view_ != nullptr ? now.size : 0;
    faults_ = &view_faults(view_);
  }
  rewind();
  return open_error::none;
}

void record_reader::open_file(const std::string& path, channel unit, std::uint64_t view_at_least) {
  path_ = path;
  unit_ = unit;
  view_at_least_ = view_at_least;
  from_memory_ = false;
  open_error error = open_path();
  if (error != open_error::none) {
    fail_open(error, unit);
  }
  if (!identify_file(file_, identity_)) {
    fail(report::read_error, unit_);
  }
}

void record_reader::check_unchanged() const {
  file_identity now;
  if (from_memory_ || file_ == no_file) {
    return;
  }
  if (!identify_file(file_, now)) {
    fail(report::read_error, unit_);
  }
  if (now != identity_) {
    fail(report::file_changed, unit_);
  }
}

void record_reader::open_memory(std::string_view text, channel unit) {
  memory_ = text;
  unit_ = unit;
  from_memory_ = true;
  path_.clear();
  rewind();
}

void record_reader::reopen() {
  if (from_memory_) {
    rewind();
  } else {
    // A file that could be opened before and cannot now has gone or been
    // replaced while it was read.
    if (open_path() != open_error::none) {
      fail(report::file_changed, unit_);
    }
    check_unchanged();
  }
}

void record_reader::open_like(const record_reader& other) {
  if (other.from_memory_) {
    open_memory(other.memory_, other.unit_);
    return;
  }
  // Another pass over the file `other` first opened: it must still be that
  // file, as it was then, like a reopening.
  path_ = other.path_;
  unit_ = other.unit_;
  view_at_least_ = other.view_at_least_;
  from_memory_ = false;
  identity_ = other.identity_;
  reopen();
}

void record_reader::rewind() {
  if (from_memory_) {
    data_ = memory_.data();
    end_ = memory_.size();
    at_eof_ = true;
  } else {
    data_ = view_ != nullptr ? view_ : buffer_.get();
    end_ = 0;
    at_eof_ = false;
  }
  given_back_ = 0;
  pos_ = 0;
  base_ = 0;
  mark_offset_ = 0;
  ended_ = false;
  truncated_ = false;
  skip_rest_ = false;
  line_ = 0;
}

// Moves the unread tail to the front of the buffer and reads more after it.
// False when nothing more could be read.
bool record_reader::fill() {
  if (at_eof_) {
    return false;
  }
  if (view_ != nullptr) {
    // The window moves on to the buffer's size past the unread bytes, as
    // the buffer's reading would have them; the bytes read are given back
    // now and then.
    if (end_ >= view_size_) {
      check_unchanged();
      at_eof_ = true;
      return false;
    }
    const std::size_t before = end_;
    end_ = static_cast<std::size_t>(std::min<std::uint64_t>(view_size_, pos_ + buffer_capacity));
    view_ahead(view_, before, end_);
    constexpr std::uint64_t give_back_step = std::uint64_t{4} << 20;
    if (pos_ >= given_back_ + give_back_step) {
      view_behind(view_, given_back_, pos_);
      given_back_ = pos_;
    }
    return end_ > before;
  }
  char* buf = buffer_.get();
  std::size_t tail = end_ - pos_;
  if (pos_ > 0 && tail > 0) {
    std::memmove(buf, buf + pos_, tail);
  }
  base_ += pos_;
  pos_ = 0;
  end_ = tail;
  while (end_ < buffer_capacity) {
    std::int64_t got = read_some(file_, buf + end_, buffer_capacity - end_);
    if (got < 0) {
      fail(report::read_error, unit_);
    }
    if (got == 0) {
      // A file that ends sooner than it did (cut, or still being written)
      // is a changed file, not a short one.
      check_unchanged();
      at_eof_ = true;
      break;
    }
    end_ += static_cast<std::size_t>(got);
    if (std::memchr(buf + end_ - static_cast<std::size_t>(got), '\n',
                    static_cast<std::size_t>(got)) != nullptr) {
      break;
    }
  }
  return end_ > tail;
}

// Skips what is left of a record cut to the buffer's size, up to its line
// end; false, the input ended, when there is none.
bool record_reader::skip_cut_rest() {
  while (skip_rest_) {
    const char* start = data_ + pos_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    if (nl != nullptr) {
      pos_ = static_cast<std::size_t>(nl - data_) + 1;
      skip_rest_ = false;
    } else {
      pos_ = end_;
      if (!fill()) {
        ended_ = true;
        return false;
      }
    }
  }
  return true;
}

// Any record: a long one, one read in several parts, the last, or the
// ending SUB.
bool record_reader::next_in_full(std::string_view& record) {
  truncated_ = false;
  if (ended_ || !skip_cut_rest()) {
    return false;
  }
  const char* nl = nullptr;
  std::size_t scanned = 0;
  for (;;) {
    const char* start = data_ + pos_ + scanned;
    nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_ - scanned));
    if (nl != nullptr) {
      break;
    }
    scanned = end_ - pos_;
    if (!from_memory_ && scanned == buffer_capacity) {
      break;  // a line longer than the buffer
    }
    if (!fill()) {
      break;
    }
  }
  check_view();
  std::size_t len;
  std::size_t consumed;
  if (nl != nullptr) {
    len = static_cast<std::size_t>(nl - (data_ + pos_));
    consumed = len + 1;
  } else if (end_ > pos_) {
    len = end_ - pos_;
    consumed = len;
  } else {
    ended_ = true;
    return false;
  }
  record = std::string_view(data_ + pos_, len);
  if (!record.empty() && record.back() == '\r' && nl != nullptr) {
    record.remove_suffix(1);
  }
  if (record.size() > buffer_size && !from_memory_) {
    record = record.substr(0, buffer_size);
    truncated_ = true;
  }
  if (record.size() == 1 && record[0] == '\x1a') {
    ended_ = true;
    return false;
  }
  mark_offset_ = base_ + pos_;
  pos_ += consumed;
  ++line_;
  // The rest of an over-long line is skipped by the next call; the view
  // stays valid until then, since the buffer only moves in `fill`.
  skip_rest_ = truncated_ && nl == nullptr;
  return true;
}

void record_reader::seek(const record_mark& at) {
  rewind();
  if (from_memory_) {
    pos_ = static_cast<std::size_t>(std::min<std::uint64_t>(at.offset, memory_.size()));
  } else if (view_ != nullptr) {
    pos_ = static_cast<std::size_t>(std::min<std::uint64_t>(at.offset, view_size_));
    end_ = pos_;
    given_back_ = pos_;
  } else {
    if (!seek_to(file_, at.offset)) {
      fail(report::read_error, unit_);
    }
    base_ = at.offset;
  }
  line_ = at.line - 1;
}

std::int64_t record_reader::pass_over(std::int64_t count) {
  std::int64_t left = count;
  if (ended_ || !skip_cut_rest()) {
    return 0;
  }
  while (left > 0) {
    const std::int64_t before = left;
    pos_ += pass_lines(data_ + pos_, end_ - pos_, left);
    line_ += before - left;
    // The rest of the buffer is part of a record: read on after it, unless
    // it fills the buffer, which only `next` can cut.
    if (left > 0 && (from_memory_ || end_ - pos_ >= buffer_capacity || !fill())) {
      break;
    }
  }
  check_view();
  return count - left;
}

bool record_reader::look(std::uint64_t offset, std::uint64_t& start,
                         std::string_view& record) const {
  if (!can_look()) {
    return false;
  }
  const char* text = from_memory_ ? memory_.data() : view_;
  const std::uint64_t size = from_memory_ ? memory_.size() : view_size_;
  if (offset > size) {
    return false;
  }
  // Searches of at most the buffer's size, as `next` keeps no longer line.
  auto line_end = [&](std::uint64_t from) -> const char* {
    return static_cast<const char*>(
        std::memchr(text + from, '\n',
                    static_cast<std::size_t>(std::min<std::uint64_t>(size - from, buffer_size))));
  };
  start = 0;
  if (offset > 0) {
    const char* lf = line_end(offset - 1);
    if (lf == nullptr) {
      return false;
    }
    start = static_cast<std::uint64_t>(lf - text) + 1;
  }
  if (start >= size) {
    return false;
  }
  const char* lf = line_end(start);
  std::uint64_t end = lf != nullptr ? static_cast<std::uint64_t>(lf - text) : size;
  if (lf == nullptr && size - start > buffer_size) {
    return false;
  }
  if (end > start && text[end - 1] == '\r' && lf != nullptr) {
    --end;
  }
  record = std::string_view(text + start, static_cast<std::size_t>(end - start));
  return true;
}

std::string_view record_reader::next_or_fail() {
  std::string_view record;
  if (!next(record)) {
    fail(report::end_of_file, unit_);
  }
  return record;
}

}  // namespace cdbbem
