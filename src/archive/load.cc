#include "archive/load.h"

#include <cstdint>
#include <exception>
#include <vector>

#include "archive/any_model.h"
#include "archive/any_reader.h"
#include "archive/boundary_conditions.h"
#include "archive/element_block.h"
#include "archive/node_block.h"
#include "archive/survey.h"
#include "model/conditions.h"
#include "model/store.h"
#include "model/triangulation.h"
#include "textrec/early_task.h"
#include "textrec/record_reader.h"

namespace cdbbem {

namespace {

// Most flux records kept while the flux pass runs ahead of its turn
// (24 MiB); an archive with more has its flux pass read again at its turn.
constexpr std::size_t flux_records_kept = std::size_t{1} << 20;

// The element block, the default conditions and the potentials after the
// field cells, through a reader of their own: from the element layout
// record when the survey saw where it is, else after passing over the node
// block.  The elements are kept until the nodes are known; `progress`
// tells how many.  The defaults stay after the element block, as in the
// one-thread order: a count the archive cannot back must not cost memory
// before the readers run out of records.
void read_elements_and_potentials(const record_reader& archive, const load_notes& notes,
                                  std::int64_t node_block_end, model& m, shared_count& progress) {
  record_reader elements;
  elements.open_like(archive);
  record_mark layout;
  if (notes.marks.element_layout_from(node_block_end + 1, layout)) {
    elements.seek(layout);
  } else {
    skip_node_block(elements, m.counts);
  }
  read_element_records(elements, m, &progress);
  set_default_conditions(m.store);
  if (notes.has_potential_conditions) {
    read_potential_conditions(elements, m);
  }
}

// The flux records from the first one the survey saw, kept (up to
// `flux_records_kept`) until the elements they name are known.  A failure
// of the pass is kept too: the one-thread order meets it after applying
// the records before it, whose elements may be undefined.
struct kept_fluxes {
  std::vector<flux_record> records;
  bool whole = true;
  std::exception_ptr failure;

  void read(const record_reader& archive, const model_counts& counts, const load_notes& notes) {
    try {
      record_reader fluxes;
      fluxes.open_like(archive);
      if (notes.marks.first_flux.line > 0) {
        fluxes.seek(notes.marks.first_flux);
      }
      whole =
          collect_flux_conditions(fluxes, counts, notes.node_layout, records, flux_records_kept);
    } catch (...) {
      failure = std::current_exception();
    }
  }

  // Gives the elements their fluxes, then raises the pass's failure; more
  // records than were kept are read again, in place.
  void apply(record_reader& archive, const load_notes& notes, model& m) const {
    if (!whole) {
      archive.reopen();
      if (notes.marks.first_flux.line > 0) {
        archive.seek(notes.marks.first_flux);
      }
      read_flux_conditions(archive, m, notes.node_layout);
      return;
    }
    apply_flux_conditions(m, records, archive.unit());
    if (failure) {
      std::rethrow_exception(failure);
    }
  }
};

// The reading of an archive as the pre-processor writes it: one pass that
// keeps what the model needs, then the model built from it.
model load_any(record_reader& archive, const load_options& options, load_notes* noted) {
  model m;
  load_notes notes;
  {
    archive_contents contents;
    read_any_archive(archive, contents, options.threads);
    archive.check_unchanged();
    const any_choices choices{
        options.dof,     options.flux,   store_budget(options.store_memory_cap),
        options.threads, archive.unit(), options.solid_volumes};
    build_any_model(contents, choices, m, notes.any_notes, notes.solids);
  }
  if (noted != nullptr) {
    *noted = std::move(notes);
  }
  return m;
}

}  // namespace

// The passes in the order one thread makes them.  With more threads, the
// passes that depend only on the counts start early, each on a thread of
// its own, and hand their results over here, where this order needs them:
// the conditions survey beside the counts survey; the element records (and
// the potentials after them) beside the node records; the flux records
// beside the triangulation, which follows the element records as they are
// read.  A failure of an early pass is raised only at its turn.
model load(record_reader& archive, output_channel& console, const load_options& options,
           load_notes* noted) {
  if (options.any) {
    return load_any(archive, options, noted);
  }
  const bool parallel = options.threads > 1;
  model m;
  load_notes notes;
  output_channel* warnings = options.node_warnings_on_console ? &console : nullptr;

  // The two survey passes: the second from the first record, as after a
  // reopen, through a reader of its own.
  early_task conditions;
  conditions.start(parallel, [&] {
    record_reader second;
    second.open_like(archive);
    survey_conditions(second, notes);
  });
  survey_counts(archive, m.counts, &notes.marks);
  conditions.finish();

  allocate_store(m.counts, m.store, store_budget(options.store_memory_cap));
  archive.reopen();

  // The node block, then the element block and the potentials.
  notes.node_layout = find_node_layout(archive);
  const std::int64_t node_block_end = archive.line_number() + node_block_records(m.counts);
  early_task elements;
  elements.start(parallel, [&] {
    read_elements_and_potentials(archive, notes, node_block_end, m, elements.progress());
  });
  read_node_records(archive, warnings, m, notes);

  kept_fluxes fluxes;
  early_task flux_pass;
  if (notes.has_flux_conditions) {
    flux_pass.start(parallel, [&] { fluxes.read(archive, m.counts, notes); });
  }

  // With every node known, the elements read so far become triangles while
  // the element reader goes on.
  triangle_builder triangles(m);
  for (std::int64_t made = 0;;) {
    bool ended = false;
    const std::int64_t ready = elements.progress_beyond(made, ended);
    if (ready > made) {
      triangulate_elements(triangles, m, made + 1, ready);
      made = ready;
    } else if (ended) {
      break;
    }
  }
  elements.finish();
  triangles.finish();
  classify_triangles(m);

  if (notes.has_flux_conditions) {
    flux_pass.finish();
    fluxes.apply(archive, notes, m);
  }
  // Passes that read a changing file saw different models.
  archive.check_unchanged();
  if (noted != nullptr) {
    *noted = notes;
  }
  return m;
}

}  // namespace cdbbem
