#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>

#include "platform/interrupts.h"

namespace cdbbem {

namespace {

constexpr int interrupting_signals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<const char*> interrupt_message{""};
std::atomic<int> message_out{STDERR_FILENO};

// Cuts each guarded file that has been written to after the last line feed
// that reached it.  The file's position is the count of bytes written.
void cut_guarded_files() {
  for (int k = 0; k < max_guarded_files; ++k) {
    const int fd = static_cast<int>(guarded_file(k));
    if (fd < 0) {
      continue;
    }
    const off_t reached = ::lseek(fd, 0, SEEK_CUR);
    if (reached <= 0) {
      continue;  // nothing written: the file stays as it was
    }
    const std::uint64_t keep = guarded_keep(k, static_cast<std::uint64_t>(reached));
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uint64_t>(info.st_size) > keep) {
      (void)::ftruncate(fd, static_cast<off_t>(keep));
    }
  }
}

// The message with the signal's number in place of "%d", built on the stack.
void write_message(int signal_number) {
  char line[256];
  std::size_t n = 0;
  for (const char* p = interrupt_message; *p != '\0' && n < sizeof line - 8; ++p) {
    if (p[0] == '%' && p[1] == 'd') {
      char digits[8];
      std::size_t d = 0;
      for (int v = signal_number; d == 0 || v > 0; v /= 10) {
        digits[d++] = static_cast<char>('0' + v % 10);
      }
      while (d > 0) {
        line[n++] = digits[--d];
      }
      ++p;
    } else {
      line[n++] = *p;
    }
  }
  const char* at = line;
  while (n > 0) {
    ssize_t put = ::write(message_out, at, n);
    if (put <= 0) {
      break;
    }
    at += put;
    n -= static_cast<std::size_t>(put);
  }
}

// Runs with the interrupting signals blocked, and never returns: only
// async-signal-safe calls and lock-free atomics below.
extern "C" void on_interrupt(int signal_number) {
  if (!stop_writers()) {
    park_forever();
  }
  cut_guarded_files();
  write_message(signal_number);
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
  // Raised again, the signal waits until it is unblocked, then ends the
  // process by its default action.
  ::raise(signal_number);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::_exit(128 + signal_number);
}

}  // namespace

[[noreturn]] void park_forever() noexcept {
  for (;;) {
    ::pause();
  }
}

void install_interrupt_handlers(const char* message, file_handle error_out) {
  interrupt_message = message;
  message_out = static_cast<int>(error_out);
  struct sigaction action = {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  for (int s : interrupting_signals) {
    sigaddset(&action.sa_mask, s);
  }
  for (int s : interrupting_signals) {
    struct sigaction old = {};
    if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
      ::sigaction(s, &action, nullptr);
    }
  }
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace cdbbem
