#include <windows.h>

#include "platform/terminal.h"

namespace cdbbem {

bool is_terminal(file_handle file) {
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(file), &mode) != 0;
}

std::int64_t monotonic_milliseconds() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace cdbbem
