#ifndef CDBBEM_ARCHIVE_BOUNDARY_CONDITIONS_H_
#define CDBBEM_ARCHIVE_BOUNDARY_CONDITIONS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "textrec/failure.h"

namespace cdbbem {

class record_reader;
struct model;
struct model_counts;

/// Reads the potential records ("D,") that follow the field cells, up to a
/// record beginning "FI", into `node_potential`.  A record for node n may be
/// followed by up to two more for the same node, which are passed over.
void read_potential_conditions(record_reader& archive, model& m);

/// Reads the flux records ("SFE," and the next record's four values) from
/// the archive's first record up to "FINI"; each gives the triangles of
/// its element the mean flux as a flux condition.  The element number's
/// columns follow the node layout `node_layout`.
void read_flux_conditions(record_reader& archive, model& m, int node_layout);

/// A flux record as read: its element (in 1..E), the archive line of its
/// header and the mean of its four values.
struct flux_record {
  std::int64_t line;
  std::int32_t element;
  double flux;
};

/// Reads the flux records as `read_flux_conditions` does, with the checks
/// that need only the counts, but keeps them in `records` instead of
/// applying them, so that the pass can run before the element block is
/// read.  Stops and returns false when `limit` records are kept and another
/// comes; a failure raised leaves the records read before it (the last one
/// possibly without its values).
bool collect_flux_conditions(record_reader& archive, const model_counts& counts, int node_layout,
                             std::vector<flux_record>& records, std::size_t limit);

/// Applies collected flux records in archive order, ending the run as
/// `read_flux_conditions` would at the first whose element no element
/// record defined.
void apply_flux_conditions(model& m, const std::vector<flux_record>& records, channel unit);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_BOUNDARY_CONDITIONS_H_
