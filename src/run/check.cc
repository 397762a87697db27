#include "run/check.h"

#include <cmath>
#include <new>

#include "archive/layout_survey.h"
#include "archive/load.h"
#include "archive/load_notes.h"
#include "mesh/analysis.h"
#include "platform/paths.h"
#include "run/channels.h"
#include "run/reports.h"
#include "run/run.h"
#include "textrec/failure.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"
#include "writers/check_json.h"
#include "writers/check_report.h"
#include "writers/model_file.h"
#include "writers/vtu_file.h"

namespace cdbbem {

void write_vtu_output(const model& m, const mesh_report& r, bool node_labels,
                      const std::string& temporary, const std::string& final_path) {
  // An earlier input.vtu that is a plain file becomes the temporary file and
  // is written over: rewriting a file in place is much cheaper for the
  // system than writing a new one, and input.vtu is still absent until the
  // new one is whole.
  if (is_sole_regular_file(final_path) && kind_of_path(temporary) == path_kind::missing) {
    replace_file(final_path, temporary);
  }
  try {
    write_vtu_file(m, r, temporary, channels::vtu, node_labels);
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
    write_vtu_output(m, r, options.any, vtu_temporary, vtu_path);
  }
  // A skin of solids encloses what the solids fill, to rounding.
  solid_check solids;
  if (notes.solids.skin) {
    solids.skin_volume = r.figures.volume;
    solids.elements_volume = notes.solids.elements_volume;
    solids.volume_differs = !(std::fabs(solids.skin_volume - solids.elements_volume) <=
                              1e-9 * std::fabs(solids.elements_volume));
    solids.negative = notes.solids.negative;
    solids.negative_examples = notes.solids.negative_examples;
  }
  const solid_check* checked = notes.solids.skin ? &solids : nullptr;
  const bool defects = r.has_defects() || (checked != nullptr && checked->has_defects());
  const int status = defects ? defects_status : 0;
  if (options.json) {
    write_check_json(r.figures, status, console, notes.any_notes, checked);
  } else {
    write_check_report(r, archive, console, checked);
  }
  return status;
}

namespace {

// What the reading of any layout makes of the archive: its counts, or its
// report's first line.
void read_any_layout(const record_reader& archive, const std::string& archive_path,
                     const run_options& options, output_channel& console, layout_explanation& x) {
  try {
    record_reader again;
    again.open_like(archive);
    load_options how;
    how.store_memory_cap = options.store_memory_cap;
    how.threads = options.threads;
    how.node_warnings_on_console = false;
    how.any = true;
    x.any_counts = load(again, console, how).counts;
    x.any_reads = true;
  } catch (const run_failure& f) {
    x.any_report = report_first_line(f, f.unit == channels::archive ? archive_path : "");
  } catch (const run_stop&) {
    x.any_report = " ANSYS cdb file error!";
  } catch (const std::bad_alloc&) {
    x.any_report = report_first_line({report::no_memory, channel::none, {}, {}}, "");
  }
}

void write_layout_explanation(const layout_explanation& x, output_channel& console) {
  if (x.finding.reason == layout_reason::none) {
    console.write_record("The archive looks legacy: the report has another cause.");
  } else {
    console.write_record("The archive is not in the legacy layout: " + x.finding.text + ".");
  }
  if (x.any_reads) {
    const model_counts& c = x.any_counts;
    console.write_record("--any reads it: nodes " + std::to_string(c.node_count) +
                         ", boundary elements " + std::to_string(c.element_count) + ", triangles " +
                         std::to_string(c.triangle_count) + ", field points " +
                         std::to_string(c.field_point_count) + ", field cells " +
                         std::to_string(c.field_cell_count) + ".");
  } else {
    const std::size_t text = x.any_report.find_first_not_of(' ');
    console.write_record("--any does not read it either: " +
                         x.any_report.substr(text == std::string::npos ? 0 : text));
  }
}

}  // namespace

bool explain_layout(const record_reader& archive, const std::string& archive_path,
                    const run_options& options, output_channel& console, layout_explanation& x) {
  try {
    record_reader again;
    again.open_like(archive);
    x.finding = survey_layout(again);
  } catch (const run_failure&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  read_any_layout(archive, archive_path, options, console, x);
  return true;
}

void report_failure_on_console(const run_options& options, int status, std::string first_line,
                               const layout_explanation* layout, output_channel& console) {
  if (options.json) {
    while (!first_line.empty() && (first_line.back() == '\n' || first_line.back() == '\r')) {
      first_line.pop_back();
    }
    write_failure_json(status, first_line, console, layout);
  } else if (layout != nullptr) {
    write_layout_explanation(*layout, console);
  }
  console.flush();
}

}  // namespace cdbbem
