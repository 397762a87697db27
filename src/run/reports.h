#ifndef CDBBEM_RUN_REPORTS_H_
#define CDBBEM_RUN_REPORTS_H_

#include <string>
#include <vector>

#include "textrec/failure.h"

namespace cdbbem {

/// The report of a run that finds its model file locked by another run.
inline constexpr report file_in_use{108};

/// The text of a catalogue report with "%d" (the unit) and "%s" (the file)
/// still to be filled, such as "file not found, unit %d, file %s".
const char* report_template(report number);

/// The line written on standard error when a signal interrupts the run,
/// with "%d" for the signal's number, line end included.
const char* interrupt_message();

/// The severity word of a report: "error" for output conversion, else "severe".
const char* report_severity(report number);

/// The process exit status for a report: its number, low 8 bits kept.
int exit_status(report number);

/// First line of a failure report, without its line end; `path` is the
/// absolute path of the channel's file (unused for reports without one).
std::string report_first_line(const run_failure& failure, const std::string& path);

/// The listing that follows a failure report: a header line, then one line
/// per stage, innermost first, each ending in a line feed.
std::string stage_listing(const std::vector<stage_frame>& stages);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_REPORTS_H_
