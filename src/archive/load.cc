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

// Reads the flux records beside `first` through a reader of its own,
// keeping them; they are applied, and a failure of that pass raised, only
// where the one-thread order reaches the flux pass, so that every earlier
// failure still wins.
template <typename First>
void flux_pass_beside(record_reader& archive, model& m, First first) {
  const model_counts counts = m.counts;
  std::vector<flux_record> fluxes;
  bool whole = true;
  std::exception_ptr failure;
  run_two(counts.has_flux_conditions, first, [&] {
    try {
      record_reader second;
      second.open_like(archive);
      whole = collect_flux_conditions(second, counts, fluxes, flux_records_kept);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  if (!counts.has_flux_conditions) {
    return;
  }
  if (!whole) {
    archive.reopen();
    read_flux_conditions(archive, m);
    return;
  }
  apply_flux_conditions(m, fluxes, archive.unit());
  if (failure) {
    std::rethrow_exception(failure);
  }
}

// The same passes with two threads.  This one reads the node records while
// the other passes over them with a reader of its own and reads the element
// records, keeping them until the nodes are known; then the elements are
// made into triangles, and the potentials (read on from the element reader)
// are classified while the other thread reads the flux records.  The
// defaults stay after the element block: a count the archive cannot back
// must not cost memory before the readers run out of records.
void read_side_by_side(record_reader& archive, output_channel& console, model& m) {
  m.counts.node_layout = find_node_layout(archive);
  record_reader elements;
  run_two(
      true, [&] { read_node_records(archive, console, m); },
      [&] {
        elements.open_like(archive);
        skip_node_block(elements, m.counts);
        read_element_records(elements, m);
      });
  triangulate_elements(m);
  set_default_conditions(m.store);
  flux_pass_beside(archive, m, [&] {
    if (m.counts.has_potential_conditions) {
      read_potential_conditions(elements, m);
    }
    classify_triangles(m);
  });
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
