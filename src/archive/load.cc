#include "archive/load.h"

#include <cstdint>
#include <exception>
#include <vector>

#include "archive/boundary_conditions.h"
#include "archive/element_block.h"
#include "archive/node_block.h"
#include "archive/survey.h"
#include "model/conditions.h"
#include "model/store.h"
#include "textrec/record_reader.h"
#include "textrec/two_tasks.h"

namespace cdbbem {

namespace {

// Most flux records kept while the flux pass runs beside the element block
// (24 MiB); an archive with more has its flux pass read again afterwards.
constexpr std::size_t flux_records_kept = std::size_t{1} << 20;

// The two survey passes.  Side by side, the second reads the archive
// through a reader of its own from the first record, as it would after a
// reopen; a failure of the first pass still wins.
void survey(record_reader& archive, model_counts& counts, survey_marks& marks, bool parallel) {
  if (!parallel) {
    survey_counts(archive, counts, &marks);
    archive.reopen();
    survey_conditions(archive, counts, &marks);
    return;
  }
  model_counts conditions;
  run_two(
      true, [&] { survey_counts(archive, counts, &marks); },
      [&] {
        record_reader second;
        second.open_like(archive);
        survey_conditions(second, conditions, &marks);
      });
  counts.has_potential_conditions = conditions.has_potential_conditions;
  counts.has_flux_conditions = conditions.has_flux_conditions;
}

// The flux pass from its first record: the records before it were only
// passed over.
void read_fluxes_again(record_reader& archive, const survey_marks& marks, model& m) {
  archive.reopen();
  if (marks.first_flux.line > 0) {
    archive.seek(marks.first_flux);
  }
  read_flux_conditions(archive, m);
}

void read_in_order(record_reader& archive, output_channel* console, const survey_marks& marks,
                   model& m) {
  read_node_block(archive, console, m);
  read_element_block(archive, m);
  set_default_conditions(m.store);
  if (m.counts.has_potential_conditions) {
    read_potential_conditions(archive, m);
  }
  classify_triangles(m);
  if (m.counts.has_flux_conditions) {
    read_fluxes_again(archive, marks, m);
  }
}

// The flux pass read ahead of its turn through a reader of its own: the
// records are kept, and a failure of the pass held back, until the
// one-thread order reaches the flux pass, so that every earlier failure
// still wins.
struct flux_pass_ahead {
  std::vector<flux_record> records;
  bool whole = true;
  std::exception_ptr failure;

  void read(const record_reader& archive, const model_counts& counts, const survey_marks& marks) {
    try {
      record_reader second;
      second.open_like(archive);
      if (marks.first_flux.line > 0) {
        second.seek(marks.first_flux);
      }
      whole = collect_flux_conditions(second, counts, records, flux_records_kept);
    } catch (...) {
      failure = std::current_exception();
    }
  }

  void apply(record_reader& archive, const survey_marks& marks, model& m) {
    if (!whole) {
      read_fluxes_again(archive, marks, m);
      return;
    }
    apply_flux_conditions(m, records, archive.unit());
    if (failure) {
      std::rethrow_exception(failure);
    }
  }
};

// Tells a thread waiting on `progress` that no more elements will come,
// when asked or at the latest when the reading thread leaves its task.
struct end_of_elements {
  element_progress& progress;
  void tell() { progress.end(); }
  ~end_of_elements() { tell(); }
};

// The same passes with two threads.  This one reads the node records, then
// the flux records ahead of their turn, then makes into triangles the
// elements the other has kept so far.  The other reads the element records
// with a reader of its own (from the element layout record when the survey
// saw it, else after passing over the node records), keeping them until the
// nodes are known, then sets the defaults and reads the potentials that
// follow.  Then the last elements are made into triangles, all are
// classified and given their fluxes.  The defaults stay after the element
// block, as in the one-thread order: a count the archive cannot back must
// not cost memory before the readers run out of records.
void read_side_by_side(record_reader& archive, output_channel* console, const survey_marks& marks,
                       model& m) {
  m.counts.node_layout = find_node_layout(archive);
  const model_counts counts = m.counts;
  // The element reader starts at the element block's layout record when the
  // survey saw where it is, after the N + P node records.
  const std::int64_t node_block_end = archive.line_number() + node_block_records(counts);
  record_mark element_layout;
  const bool layout_known = marks.element_layout_from(node_block_end + 1, element_layout);
  flux_pass_ahead fluxes;
  element_progress elements_read;
  std::int64_t triangulated = 0;
  run_two(
      true,
      [&] {
        read_node_records(archive, console, m);
        if (counts.has_flux_conditions) {
          fluxes.read(archive, counts, marks);
        }
        // With every node known, the elements read so far are made into
        // triangles while the other thread reads on.
        for (;;) {
          bool ended = false;
          const std::int64_t ready = elements_read.wait_beyond(triangulated, ended);
          if (ready > triangulated) {
            triangulate_elements(m, triangulated + 1, ready);
            triangulated = ready;
          } else if (ended) {
            break;
          }
        }
      },
      [&] {
        end_of_elements end{elements_read};
        record_reader elements;
        elements.open_like(archive);
        if (layout_known) {
          elements.seek(element_layout);
        } else {
          skip_node_block(elements, counts);
        }
        read_element_records(elements, m, &elements_read);
        end.tell();
        set_default_conditions(m.store);
        if (counts.has_potential_conditions) {
          read_potential_conditions(elements, m);
        }
      });
  triangulate_elements(m, triangulated + 1, counts.element_count);
  classify_triangles(m);
  if (counts.has_flux_conditions) {
    fluxes.apply(archive, marks, m);
  }
}

}  // namespace

model load(record_reader& archive, output_channel& console, const load_options& options) {
  const bool parallel = options.threads > 1;
  model m;
  survey_marks marks;
  survey(archive, m.counts, marks, parallel);
  allocate_store(m.counts, m.store, store_budget(options.store_memory_cap));
  archive.reopen();
  output_channel* warnings = options.node_warnings_on_console ? &console : nullptr;
  if (parallel) {
    read_side_by_side(archive, warnings, marks, m);
  } else {
    read_in_order(archive, warnings, marks, m);
  }
  // Passes that read a changing file saw different models.
  archive.check_unchanged();
  return m;
}

}  // namespace cdbbem
