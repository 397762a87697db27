#ifndef CDBBEM_TEXTREC_FAILURE_H_
#define CDBBEM_TEXTREC_FAILURE_H_

#include <cstdint>
#include <string>

namespace cdbbem {

/// Numbers of the failure reports; each is also the process exit status
/// (its low 8 bits where the platform keeps no more).
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
  array_size_overflow = 179,
  invalid_integer = 545,
  invalid_real = 547,
  // Model checks: a number read from the archive that would index the model
  // store outside its extent, or an element the reader cannot take.
  element_number_range = 101,
  element_node_range = 102,
  field_cell_corner_range = 103,
  potential_node_range = 104,
  flux_element_range = 105,
  element_too_many_nodes = 106,
};

/// Channel numbers quoted by failure reports.
enum class channel : int { none = 0, archive = 5, model = 6, plot = 8 };

/// Raised by `fail`; caught only by the run entry, the tests and the fuzz
/// targets.  `message` holds the finished message text for model checks and
/// is empty for catalogue reports, whose text the entry builds.
struct run_failure {
  report number;
  channel unit;
  std::string message;
  std::string listing;  ///< call-stack listing taken where the failure was raised
};

/// Raised by `stop_with_message`: the archive is malformed.
struct run_stop {};

/// Ends the run with a catalogue failure report for `unit`.
[[noreturn]] void fail(report number, channel unit);

/// Ends the run with a model-check report whose message text is `message`.
[[noreturn]] void fail_check(report number, std::string message);

/// Ends the run with the malformed-archive stop message.
[[noreturn]] void stop_with_message();

/// The text that stands for "%s"-free part of a catalogue report, with
/// "%d" and "%s" still to be filled ("file not found, unit %d, file %s").
const char* report_template(report number);

/// The severity word of a report: "error" for output conversion, else "severe".
const char* report_severity(report number);

/// The process exit status for a report: its number, low 8 bits kept.
int exit_status(report number);

/// First line of a failure report, without its line end; `path` is the
/// absolute path of the channel's file (unused for reports without one).
std::string report_first_line(const run_failure& failure, const std::string& path);

/// One active stage of the run, kept for the call-stack listing that follows
/// a failure report.  Constructed on entry to a stage, removed on exit.
class stage_scope {
 public:
  /// `routine` and `source` must be string literals; `archive_line`, when
  /// not null, points at the stage's current archive line number.
  stage_scope(const char* routine, const char* source,
              const std::int64_t* archive_line = nullptr) noexcept;
  ~stage_scope();
  stage_scope(const stage_scope&) = delete;
  stage_scope& operator=(const stage_scope&) = delete;
};

/// The call-stack listing: the header line and one line per active stage,
/// innermost first, each ending in a line feed.
std::string stage_listing();

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_FAILURE_H_
