#include "archive/load.h"

#include "archive/boundary_conditions.h"
#include "archive/element_block.h"
#include "archive/node_block.h"
#include "archive/survey.h"
#include "model/conditions.h"
#include "model/store.h"
#include "textrec/record_reader.h"

namespace cdbbem {

model load(record_reader& archive, output_channel& console, const load_options& options) {
  model m;
  survey_counts(archive, m.counts);
  archive.reopen();
  survey_conditions(archive, m.counts);
  allocate_store(m.counts, m.store, store_budget(options.store_memory_cap));

  archive.reopen();
  read_node_block(archive, options.node_warnings_on_console ? &console : nullptr, m);
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
  return m;
}

}  // namespace cdbbem
