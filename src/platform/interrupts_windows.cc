#include <windows.h>

#include <atomic>
#include <cstddef>

#include "platform/interrupts.h"

namespace cdbbem {

namespace {

// The signal numbers the message gives, as a POSIX shell would report them.
constexpr int interrupt_number = 2;  // Ctrl-C
constexpr int break_number = 21;     // Ctrl-Break, or the console closed

std::atomic<const char*> interrupt_message{""};
std::atomic<file_handle> message_out{no_file};

// Cuts each guarded file that has been written to after the last line feed
// that reached it.  The file's position is the count of bytes written.
void cut_guarded_files() {
  for (int k = 0; k < max_guarded_files; ++k) {
    const file_handle file = guarded_file(k);
    if (file == no_file) {
      continue;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(file);
    LARGE_INTEGER zero = {};
    LARGE_INTEGER reached = {};
    if (SetFilePointerEx(handle, zero, &reached, FILE_CURRENT) == 0 || reached.QuadPart <= 0) {
      continue;  // nothing written: the file stays as it was
    }
    const std::uint64_t keep = guarded_keep(k, static_cast<std::uint64_t>(reached.QuadPart));
    (void)cut_after(file, keep);
  }
}

void write_message(int number) {
  char line[256];
  std::size_t n = 0;
  for (const char* p = interrupt_message; *p != '\0' && n < sizeof line - 8; ++p) {
    if (p[0] == '%' && p[1] == 'd') {
      if (number >= 10) {
        line[n++] = static_cast<char>('0' + number / 10);
      }
      line[n++] = static_cast<char>('0' + number % 10);
      ++p;
    } else {
      line[n++] = *p;
    }
  }
  (void)write_all(message_out, line, n);
}

// Runs on a thread of its own, while the program's threads go on: writers
// are stopped first, then the files cut, then the process ended with the
// status a POSIX shell gives a program ended by that signal.
BOOL WINAPI on_console_event(DWORD event) {
  int number = 0;
  switch (event) {
  case CTRL_C_EVENT:
    number = interrupt_number;
    break;
  case CTRL_BREAK_EVENT:
  case CTRL_CLOSE_EVENT:
    number = break_number;
    break;
  default:
    return FALSE;
  }
  if (!stop_writers()) {
    park_forever();
  }
  cut_guarded_files();
  write_message(number);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(128 + number));
  park_forever();
}

}  // namespace

[[noreturn]] void park_forever() noexcept {
  for (;;) {
    Sleep(INFINITE);
  }
}

void install_interrupt_handlers(const char* message, file_handle error_out) {
  interrupt_message = message;
  message_out = error_out;
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

}  // namespace cdbbem
