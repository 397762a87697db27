#ifndef CDBBEM_RUN_CHECK_H_
#define CDBBEM_RUN_CHECK_H_

#include <string>

namespace cdbbem {

class output_channel;
struct load_notes;
struct mesh_report;
struct model;
struct run_options;

/// Exit status of a check whose report finds a defect.
inline constexpr int defects_status = 3;

/// Writes input.vtu under its temporary name `temporary` (over an earlier
/// input.vtu moved there, when it is a plain file) and renames it to
/// `final_path` once whole; on a failure the temporary file is removed and
/// the failure goes on, on channel 10.
void write_vtu_output(const model& m, const mesh_report& r, const std::string& temporary,
                      const std::string& final_path);

/// The rest of a checking run once the archive is read: the writers'
/// verdict (63 when a number would not fit input.dat), the analysis (with
/// the node-numbering warnings the reading counted), input.vtu when asked,
/// and the report of `archive` on `console`.  Returns the exit status:
/// `defects_status` when the report finds a defect, else 0.
int finish_check(const model& m, const load_notes& notes, const run_options& options,
                 const std::string& archive, const std::string& vtu_temporary,
                 const std::string& vtu_path, output_channel& console);

/// With --json, the failure's object on `console`; `first_line` is the
/// first line the run wrote on standard error, without its line end.
void report_failure_as_json(const run_options& options, int status, std::string first_line,
                            output_channel& console);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_CHECK_H_
