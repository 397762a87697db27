#ifndef CDBBEM_PLATFORM_TERMINAL_H_
#define CDBBEM_PLATFORM_TERMINAL_H_

#include <cstdint>

#include "platform/files.h"

namespace cdbbem {

/// True when `file` is a terminal that a person watches.
bool is_terminal(file_handle file);

/// Milliseconds on a clock that only goes forward, from an arbitrary start.
std::int64_t monotonic_milliseconds();

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_TERMINAL_H_
