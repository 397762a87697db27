#include "archive/survey.h"

#include <cstdint>
#include <string_view>

#include "archive/archive_formats.h"
#include "archive/element_block.h"
#include "archive/load_notes.h"
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

bool survey_marks::element_layout_from(std::int64_t from, record_mark& at) const {
  if (unlooked_lost) {
    return false;
  }
  for (int k = 0; k < element_layout_count; ++k) {
    if (element_layouts[k].line < from) {
      continue;
    }
    // A record the survey did not look at may come first.
    for (int u = 0; u < unlooked_count; ++u) {
      if (unlooked[u][1] >= from && unlooked[u][0] < element_layouts[k].line) {
        return false;
      }
    }
    at = element_layouts[k];
    return true;
  }
  return false;
}

namespace {

// Keeps the marks of what the counts survey reads: the element-layout
// records among those it looks at, and the lines it reads unseen.
struct layout_notes {
  survey_marks* marks;
  record_reader& archive;

  // The next record, looked at.
  std::string_view next() {
    std::string_view record = archive.next_or_fail();
    if (marks != nullptr && marks->element_layout_count < survey_marks::most_layouts &&
        is_element_layout(record)) {
      marks->element_layouts[marks->element_layout_count++] = archive.mark();
    }
    return record;
  }

  // Records read by `read`, unseen.
  template <typename Read>
  void unseen(Read read) {
    const std::int64_t first = archive.line_number() + 1;
    read();
    if (marks == nullptr) {
      return;
    }
    if (marks->unlooked_count == survey_marks::most_unlooked) {
      marks->unlooked_lost = true;
      return;
    }
    std::int64_t* range = marks->unlooked[marks->unlooked_count++];
    range[0] = first;
    range[1] = archive.line_number();
  }
};

}  // namespace

// The keyword tests look at a record's first columns as a text field read
// into the line buffer would: blanks past the record's end.
void survey_counts(record_reader& archive, model_counts& counts, survey_marks* marks) {
  stage_scope stage("survey_counts", archive_file_name, &archive.line_number());
  std::int64_t records = 0;
  layout_notes notes{marks, archive};
  if (marks != nullptr) {
    marks->element_layout_count = 0;
    marks->unlooked_count = 0;
    marks->unlooked_lost = false;
  }

  // The offset section: "*ELSE" in columns 1-5 ("*ELSEIF" too); "FINISH"
  // before it means the archive holds no model.
  for (;;) {
    progress_tick("surveying the archive", ++records, 0);
    std::string_view record = notes.next();
    if (columns_equal(record, 5, "*ELSE")) {
      break;
    }
    if (columns_equal(record, 6, "FINISH")) {
      stop_with_message();
    }
  }
  std::int32_t nodes = 0;
  std::int32_t elements = 0;
  notes.unseen([&] {
    char line[line_length];
    read_formatted(archive, formats::count_record, {into(line, line_length), into(nodes)});
    read_formatted(archive, formats::count_record, {into(line, line_length), into(elements)});
  });
  counts.node_count = nodes;
  counts.element_count = elements;
  counts.field_point_count = 0;
  counts.field_cell_count = 0;

  for (;;) {
    progress_tick("surveying the archive", ++records, 0);
    std::string_view record = notes.next();
    if (columns_equal(record, 18, "CMBLOCK,FIELDCELLS")) {
      notes.unseen([&] { counts.field_cell_count = component_size(archive); });
      break;
    }
    if (columns_equal(record, 18, "FINISH")) {
      return;
    }
  }
  // Field points are looked for only after the field cells.
  for (;;) {
    progress_tick("surveying the archive", ++records, 0);
    std::string_view record = notes.next();
    if (columns_equal(record, 19, "CMBLOCK,FIELDPOINTS")) {
      notes.unseen([&] { counts.field_point_count = component_size(archive); });
      counts.element_count = wrap(std::int64_t{counts.element_count} - counts.field_cell_count);
      counts.node_count = wrap(std::int64_t{counts.node_count} - counts.field_point_count);
      return;
    }
    if (columns_equal(record, 19, "FINISH")) {
      return;
    }
  }
}

void survey_conditions(record_reader& archive, load_notes& notes) {
  stage_scope stage("survey_conditions", archive_file_name, &archive.line_number());
  std::int64_t records = 0;
  notes.marks.first_flux = {};
  for (;;) {
    progress_tick("surveying the conditions", ++records, 0);
    std::string_view record = archive.next_or_fail();
    // Every record opening with "D," is a potential record, whatever
    // follows: node numbers of six or more digits fill columns 3 and 4.
    if (columns_equal(record, 2, "D,")) {
      notes.has_potential_conditions = true;
    } else if (columns_equal(record, 4, "SFE,")) {
      if (notes.marks.first_flux.line == 0) {
        notes.marks.first_flux = archive.mark();
      }
      notes.has_flux_conditions = true;
    }
    if (columns_equal(record, 4, "FINI")) {
      return;
    }
  }
}

}  // namespace cdbbem
