#include "archive/survey.h"

#include <cstdint>

#include "archive/archive_formats.h"
#include "model/model.h"
#include "textrec/failure.h"
#include "textrec/fixed_read.h"
#include "textrec/free_form.h"
#include "textrec/progress.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

// Counts add and subtract with two's-complement wrap-around, so that no
// archive can make the arithmetic undefined; a count that wraps negative
// gives an empty array.
std::int32_t wrap(std::int64_t v) { return static_cast<std::int32_t>(v); }

// A component written as the range first, -last: its number of members.
std::int32_t component_size(record_reader& archive) {
  std::int32_t first = 0;
  std::int32_t last = 0;
  read_free(archive, {});  // the component's layout record
  read_free(archive, {into(first), into(last)});
  return wrap(-static_cast<std::int64_t>(last) - first + 1);
}

}  // namespace

void survey_counts(record_reader& archive, model_counts& counts) {
  stage_scope stage("survey_counts", archive_file_name, &archive.line_number());
  char line[line_length];
  std::int64_t records = 0;

  // The offset section: "*ELSE" in columns 1-5 ("*ELSEIF" too); "FINISH"
  // before it means the archive holds no model.
  for (;;) {
    progress_tick("surveying the archive", ++records, 0);
    read_formatted(archive, formats::a6, {into(line, line_length)});
    if (text_equal({line, 5}, "*ELSE")) {
      break;
    }
    if (text_equal({line, 6}, "FINISH")) {
      stop_with_message();
    }
  }
  std::int32_t nodes = 0;
  std::int32_t elements = 0;
  read_formatted(archive, formats::count_record, {into(line, line_length), into(nodes)});
  read_formatted(archive, formats::count_record, {into(line, line_length), into(elements)});
  counts.node_count = nodes;
  counts.element_count = elements;
  counts.field_point_count = 0;
  counts.field_cell_count = 0;

  for (;;) {
    progress_tick("surveying the archive", ++records, 0);
    read_formatted(archive, formats::a18, {into(line, line_length)});
    if (text_equal({line, line_length}, "CMBLOCK,FIELDCELLS")) {
      counts.field_cell_count = component_size(archive);
      break;
    }
    if (text_equal({line, line_length}, "FINISH")) {
      return;
    }
  }
  // Field points are looked for only after the field cells.
  for (;;) {
    progress_tick("surveying the archive", ++records, 0);
    read_formatted(archive, formats::a19, {into(line, line_length)});
    if (text_equal({line, line_length}, "CMBLOCK,FIELDPOINTS")) {
      counts.field_point_count = component_size(archive);
      counts.element_count = wrap(std::int64_t{counts.element_count} - counts.field_cell_count);
      counts.node_count = wrap(std::int64_t{counts.node_count} - counts.field_point_count);
      return;
    }
    if (text_equal({line, line_length}, "FINISH")) {
      return;
    }
  }
}

void survey_conditions(record_reader& archive, model_counts& counts) {
  stage_scope stage("survey_conditions", archive_file_name, &archive.line_number());
  char line[line_length];
  std::int64_t records = 0;
  char field[8];
  for (;;) {
    progress_tick("surveying the conditions", ++records, 0);
    // Columns 1-4 into the line; the field takes columns 12-19, then 20-23.
    read_formatted(archive, formats::command_scan,
                   {into(line, line_length), into(field, sizeof field), into(field, sizeof field)});
    // Every record opening with "D," is a potential record, whatever
    // follows: node numbers of six or more digits fill columns 3 and 4.
    if (text_equal({line, 2}, "D,")) {
      counts.has_potential_conditions = true;
    } else if (text_equal({line, line_length}, "SFE,")) {
      counts.has_flux_conditions = true;
    }
    if (text_equal({line, line_length}, "FINI")) {
      return;
    }
  }
}

}  // namespace cdbbem
