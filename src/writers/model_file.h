#ifndef CDBBEM_WRITERS_MODEL_FILE_H_
#define CDBBEM_WRITERS_MODEL_FILE_H_

namespace cdbbem {

class output_channel;
struct model_counts;
struct model_store;

/// Writes the solver's model file: title with today's date, counts, the
/// formulation constants, then nodes, triangles with their conditions,
/// field points and field cells, each section after its "$" marker.
void write_model_file(const model_counts& counts, const model_store& store, output_channel& out);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_MODEL_FILE_H_
