#ifndef CDBBEM_ARCHIVE_BOUNDARY_CONDITIONS_H_
#define CDBBEM_ARCHIVE_BOUNDARY_CONDITIONS_H_

namespace cdbbem {

class record_reader;
struct model;

/// Reads the potential records ("D,") that follow the field cells, up to a
/// record beginning "FI", into `node_potential`.  A record for node n may be
/// followed by up to two more for the same node, which are passed over.
void read_potential_conditions(record_reader& archive, model& m);

/// Reads the flux records ("SFE," and the next record's four values) from
/// the archive's first record up to "FINI"; each gives both triangles of
/// its element the mean flux as a flux condition.
void read_flux_conditions(record_reader& archive, model& m);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_BOUNDARY_CONDITIONS_H_
