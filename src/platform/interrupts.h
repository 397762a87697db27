#ifndef CDBBEM_PLATFORM_INTERRUPTS_H_
#define CDBBEM_PLATFORM_INTERRUPTS_H_

#include <cstddef>
#include <cstdint>

#include "platform/files.h"

namespace cdbbem {

/// Makes the signals that interrupt a program (SIGINT, SIGTERM and SIGHUP on
/// POSIX) end it at once: the handler cuts every guarded file (below), writes
/// `message` on `error_out` with the signal's number in place of its "%d",
/// and ends the process by that same signal, its default action restored.
/// A signal ignored when this is called stays ignored (a run under nohup).
/// A closed pipe no longer ends the process: writes to it fail instead.
/// `message` must live as long as the process (a literal).
void install_interrupt_handlers(const char* message, file_handle error_out);

/// How many files can be guarded at once.
inline constexpr int max_guarded_files = 8;

/// A file written from its start over older content, which an interrupt must
/// leave holding only whole lines of the new content: the handler cuts it
/// after the last line feed that reached it, or leaves it as it was when
/// nothing has been written to it.  The writer tells the guard, before and
/// after each write, which bytes are whole lines; the file must be written in
/// order from its start, so that its position is the count of bytes written.
class interrupt_guard {
 public:
  interrupt_guard() noexcept = default;
  ~interrupt_guard() { release(); }
  interrupt_guard(const interrupt_guard&) = delete;
  interrupt_guard& operator=(const interrupt_guard&) = delete;

  /// Guards `file`, just opened for writing at its start.  False when
  /// `max_guarded_files` are guarded already: this file is then not cut.
  bool guard(file_handle file) noexcept;

  /// Stops guarding; call before the file is closed.
  void release() noexcept;

  /// A write of `size` bytes from `data` starts at byte `at` of the file:
  /// an interrupt keeps those of them that reached the file, up to their
  /// last line feed.  `data` must stay unchanged until `kept` is called.
  void writing(const char* data, std::size_t size, std::uint64_t at) noexcept;

  /// The file's first `size` bytes are whole lines, and the write announced
  /// by `writing` (if any) is over.
  void kept(std::uint64_t size) noexcept;

  /// How many of the file's first bytes an interrupt keeps when `reached`
  /// bytes have reached the file.
  std::uint64_t keep_at(std::uint64_t reached) const noexcept;

 private:
  int slot_ = -1;
};

/// For the interrupt handler, before it cuts the guarded files: from now on
/// no other thread starts a write to a guarded file (one that tries waits
/// for the process to end), and writes other threads have begun are waited
/// for.  False when another interrupt has begun already: the caller must
/// then wait for the process to end (`park_forever`).  Safe to call from a
/// signal handler.
bool stop_writers() noexcept;

/// Waits for the process to end, never returning.  Safe to call from a
/// signal handler.
[[noreturn]] void park_forever() noexcept;

/// The file guarded in `slot` (0 to `max_guarded_files` - 1), or `no_file`.
/// For the interrupt handler: safe to call from a signal handler.
file_handle guarded_file(int slot) noexcept;

/// What an interrupt keeps of the file guarded in `slot` when `reached` bytes
/// have reached it.  Safe to call from a signal handler.
std::uint64_t guarded_keep(int slot, std::uint64_t reached) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_INTERRUPTS_H_
