#include <time.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace cdbbem {

bool is_terminal(file_handle file) { return ::isatty(static_cast<int>(file)) == 1; }

std::int64_t monotonic_milliseconds() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace cdbbem
