#ifndef CDBBEM_WRITERS_CHECK_JSON_H_
#define CDBBEM_WRITERS_CHECK_JSON_H_

#include <string>
#include <string_view>
#include <vector>

#include "archive/layout_survey.h"
#include "model/model.h"

namespace cdbbem {

class output_channel;
struct mesh_figures;
struct solid_check;

/// What a check adds to a report of the legacy reading: why the archive is
/// not in the legacy layout, and what the reading of any layout made of it.
struct layout_explanation {
  layout_finding finding;
  bool any_reads = false;   ///< the reading of any layout gave a model
  model_counts any_counts;  ///< its counts, when it did
  std::string any_report;   ///< else the first line of its report, without line end
};

/// Writes the figures of a mesh check and the run's exit status as one
/// JSON object, one key to a line, keys in the order of `figure_rows` and
/// "status" last.  Reals in their shortest round-trip form, `null` when
/// not finite.
/// `notes` are the reading's notes (those of --any), as an array "notes"
/// when there are any.
void write_check_json(const mesh_figures& f, int status, output_channel& out,
                      const std::vector<std::string>& notes = {},
                      const solid_check* solids = nullptr);

/// Writes the object of a run that did not translate:
/// {"status": N, "report": "..."} with `report` escaped as JSON requires,
/// and with `layout` (when not null) a third key:
/// "layout": {"legacy": B, "reason": "..." or null, "line": N or null,
/// "any": {"reads": true, "nodes": N, "elements": E, "triangles": T,
/// "field_points": P, "field_cells": C} or {"reads": false, "report": "..."}}.
void write_failure_json(int status, std::string_view report, output_channel& out,
                        const layout_explanation* layout = nullptr);

/// `value` in its shortest form that reads back as the same double;
/// "null" when it is not finite.
std::string json_number(double value);

/// `text` as a JSON string, quotes included.
std::string json_string(std::string_view text);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_CHECK_JSON_H_
