#include "run/check.h"

#include "archive/load_notes.h"
#include "mesh/analysis.h"
#include "platform/paths.h"
#include "run/channels.h"
#include "run/run.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"
#include "writers/check_json.h"
#include "writers/check_report.h"
#include "writers/model_file.h"
#include "writers/vtu_file.h"

namespace cdbbem {

void write_vtu_output(const model& m, const mesh_report& r, const std::string& temporary,
                      const std::string& final_path) {
  // An earlier input.vtu that is a plain file becomes the temporary file and
  // is written over: rewriting a file in place is much cheaper for the
  // system than writing a new one, and input.vtu is still absent until the
  // new one is whole.
  if (is_sole_regular_file(final_path) && kind_of_path(temporary) == path_kind::missing) {
    replace_file(final_path, temporary);
  }
  try {
    write_vtu_file(m, r, temporary, channels::vtu);
  } catch (const run_failure&) {
    remove_file(temporary);
    throw;
  }
  if (!replace_file(temporary, final_path)) {
    remove_file(temporary);
    fail(report::write_error, channels::vtu);
  }
}

int finish_check(const model& m, const load_notes& notes, const run_options& options,
                 const std::string& archive, const std::string& vtu_temporary,
                 const std::string& vtu_path, output_channel& console) {
  // The plot file's fields hold any value; only the model file can fail.
  check_model_file_fits(m, channels::model);
  mesh_report r = analyse_mesh(m);
  r.figures.node_number_warnings = notes.node_number_warnings;
  if (options.vtk) {
    write_vtu_output(m, r, vtu_temporary, vtu_path);
  }
  const int status = r.has_defects() ? defects_status : 0;
  if (options.json) {
    write_check_json(r.figures, status, console);
  } else {
    write_check_report(r, archive, console);
  }
  return status;
}

void report_failure_as_json(const run_options& options, int status, std::string first_line,
                            output_channel& console) {
  if (!options.json) {
    return;
  }
  while (!first_line.empty() && (first_line.back() == '\n' || first_line.back() == '\r')) {
    first_line.pop_back();
  }
  write_failure_json(status, first_line, console);
  console.flush();
}

}  // namespace cdbbem
