#include "archive/load.h"

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
void survey(record_reader& archive, model_counts& counts, bool parallel) {
  if (!parallel) {
    survey_counts(archive, counts);
    archive.reopen();
    survey_conditions(archive, counts);
    return;
  }
  model_counts conditions;
  run_two(
      true, [&] { survey_counts(archive, counts); },
      [&] {
        record_reader second;
        second.open_like(archive);
        survey_conditions(second, conditions);
      });
  counts.has_potential_conditions = conditions.has_potential_conditions;
  counts.has_flux_conditions = conditions.has_flux_conditions;
}

void read_in_order(record_reader& archive, output_channel& console, model& m) {
  read_node_block(archive, console, m);
  read_element_block(archive, m);
  set_default_conditions(m.store);
  if (m.counts.has_potential_conditions) {
    read_potential_conditions(archive, m);
  }
  classify_triangles(m);
  if (m.counts.has_flux_conditions) {
    archive.reopen();
    read_flux_conditions(archive, m);
  }
}

// The same passes with two threads: while this one reads the nodes and the
// elements, the other reads the flux records through a reader of its own,
// keeping them.  (The defaults stay after the element block: a count the
// archive cannot back must not cost memory before the readers run out.)  They are applied, and
// a failure of that pass raised, only where the one-thread order reaches
// the flux pass, so that every earlier failure still wins.
void read_side_by_side(record_reader& archive, output_channel& console, model& m) {
  m.counts.node_layout = find_node_layout(archive);
  const model_counts counts = m.counts;
  std::vector<flux_record> fluxes;
  bool fluxes_whole = true;
  std::exception_ptr flux_failure;
  run_two(
      true,
      [&] {
        read_node_records(archive, console, m);
        read_element_block(archive, m);
      },
      [&] {
        if (!counts.has_flux_conditions) {
          return;
        }
        try {
          record_reader second;
          second.open_like(archive);
          fluxes_whole = collect_flux_conditions(second, counts, fluxes, flux_records_kept);
        } catch (...) {
          flux_failure = std::current_exception();
        }
      });
  set_default_conditions(m.store);
  if (m.counts.has_potential_conditions) {
    read_potential_conditions(archive, m);
  }
  classify_triangles(m);
  if (!counts.has_flux_conditions) {
    return;
  }
  if (!fluxes_whole) {
    archive.reopen();
    read_flux_conditions(archive, m);
    return;
  }
  apply_flux_conditions(m, fluxes, archive.unit());
  if (flux_failure) {
    std::rethrow_exception(flux_failure);
  }
}

}  // namespace

model load(record_reader& archive, output_channel& console, const load_options& options) {
  const bool parallel = options.threads > 1;
  model m;
  survey(archive, m.counts, parallel);
  allocate_store(m.counts, m.store, store_budget(options.store_memory_cap));
  archive.reopen();
  if (parallel) {
    read_side_by_side(archive, console, m);
  } else {
    read_in_order(archive, console, m);
  }
  return m;
}

}  // namespace cdbbem
