#ifndef CDBBEM_RUN_CHECK_H_
#define CDBBEM_RUN_CHECK_H_

#include <string>

namespace cdbbem {

class output_channel;
class record_reader;
struct layout_explanation;
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
void write_vtu_output(const model& m, const mesh_report& r, bool node_labels,
                      const std::string& temporary, const std::string& final_path);

/// The rest of a checking run once the archive is read: the writers'
/// verdict (63 when a number would not fit input.dat), the analysis (with
/// the node-numbering warnings the reading counted), input.vtu when asked,
/// and the report of `archive` on `console`.  Returns the exit status:
/// `defects_status` when the report finds a defect, else 0.
int finish_check(const model& m, const load_notes& notes, const run_options& options,
                 const std::string& archive, const std::string& vtu_temporary,
                 const std::string& vtu_path, output_channel& console);

/// After a report of the legacy reading in a check: why the archive that
/// `archive` reads (at `archive_path`) is not in the legacy layout, from a
/// survey through a reader of its own, and what reading it in any layout
/// (`load_options::any`, from its first record again) gives: the counts,
/// or the first line of its report.  False, with `x` left as it is, when
/// the archive cannot be surveyed (it changed, or a read failed).
bool explain_layout(const record_reader& archive, const std::string& archive_path,
                    const run_options& options, output_channel& console, layout_explanation& x);

/// The console's part of a failure report: with --json the failure's
/// object, with `layout` in it when not null; without --json, `layout` in
/// words when not null, else nothing.  `first_line` is the first line the
/// run wrote on standard error (its line end is dropped).
void report_failure_on_console(const run_options& options, int status, std::string first_line,
                               const layout_explanation* layout, output_channel& console);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_CHECK_H_
