#include "run/progress_line.h"

#include "platform/files.h"
#include "platform/terminal.h"

namespace cdbbem {

namespace {

constexpr std::int64_t first_after_ms = 1000;
constexpr std::int64_t interval_ms = 100;

}  // namespace

progress_line::progress_line(std::intptr_t terminal)
    : terminal_(terminal),
      start_ms_(monotonic_milliseconds()),
      previous_(set_progress_meter(this)) {}

progress_line::~progress_line() {
  erase();
  set_progress_meter(previous_);
}

void progress_line::show(const char* stage, std::int64_t done, std::int64_t total) {
  const std::int64_t now = monotonic_milliseconds();
  if (now - start_ms_ < first_after_ms || (shown_ > 0 && now - last_ms_ < interval_ms)) {
    return;
  }
  last_ms_ = now;
  std::string text = "cdbbem: ";
  text += stage;
  if (total > 0) {
    text += ' ';
    text += std::to_string(done * 100 / total);
    text += '%';
  } else {
    text += " (";
    text += std::to_string(done);
    text += " records)";
  }
  draw(text);
}

// The new text over the old one, padded with blanks where it is shorter;
// no escape sequences, so any terminal shows it.
void progress_line::draw(const std::string& text) {
  std::string line = "\r";
  line += text;
  if (text.size() < shown_) {
    line.append(shown_ - text.size(), ' ');
    line += '\r';
    line += text;
  }
  write_all(terminal_, line.data(), line.size());
  shown_ = text.size();
}

void progress_line::erase() {
  if (shown_ == 0) {
    return;
  }
  std::string blank(shown_ + 2, ' ');
  blank.front() = '\r';
  blank.back() = '\r';
  write_all(terminal_, blank.data(), blank.size());
  shown_ = 0;
}

}  // namespace cdbbem
