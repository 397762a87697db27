#ifndef CDBBEM_TEXTREC_FAILURE_H_
#define CDBBEM_TEXTREC_FAILURE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace cdbbem {

/// Numbers of the failure reports of the record engine; each is also the
/// process exit status (its low 8 bits where the platform keeps no more).
/// Rooms above add their own numbers as constants of this type.
enum class report : int {
  access_denied = 9,
  end_of_file = 24,
  file_not_found = 29,
  open_failure = 30,
  write_error = 38,
  read_error = 39,
  no_memory = 41,
  list_syntax = 59,
  output_conversion = 63,
  input_conversion = 64,
  file_changed = 107,  ///< a file read several times changed in between
  array_size_overflow = 179,
  invalid_integer = 545,
  invalid_real = 547,
};

/// The number of a channel (an open file), quoted by failure reports; the
/// program gives its channels their numbers.  `none` is no channel.
enum class channel : int { none = 0 };

/// One active stage at the moment a failure was raised.
struct stage_frame {
  const char* routine;
  const char* source;
  std::int64_t line;  ///< the input line the stage was on, or -1
};

/// Raised by `fail`; caught only by the run entry, the tests and the fuzz
/// targets.  `message` holds the finished message text for a check and is
/// empty for catalogue reports, whose text the entry builds.
struct run_failure {
  report number;
  channel unit;
  std::string message;
  std::vector<stage_frame> stages;  ///< the active stages, innermost first
};

/// Raised by `stop_with_message`: the input is malformed.
struct run_stop {};

/// Ends the run with a catalogue failure report for `unit`.
[[noreturn]] void fail(report number, channel unit);

/// Ends the run with a check's report on `unit` whose message text is `message`.
[[noreturn]] void fail_check(report number, channel unit, std::string message);

/// Ends the run with the malformed-input stop message.
[[noreturn]] void stop_with_message();

/// One active stage of the run, kept for the listing that follows a failure
/// report.  Constructed on entry to a stage, removed on exit.  Each thread
/// keeps its own stages.
class stage_scope {
 public:
  /// `routine` and `source` must outlive the scope (string literals);
  /// `line`, when not null, points at the stage's current input line
  /// number, and `source` then names the input it reads.
  stage_scope(const char* routine, const char* source, const std::int64_t* line = nullptr) noexcept;
  ~stage_scope();
  stage_scope(const stage_scope&) = delete;
  stage_scope& operator=(const stage_scope&) = delete;
};

/// The stages active now, innermost first.
std::vector<stage_frame> active_stages();

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_FAILURE_H_
