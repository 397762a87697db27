#ifndef CDBBEM_WRITERS_PLOT_FILE_H_
#define CDBBEM_WRITERS_PLOT_FILE_H_

namespace cdbbem {

class output_channel;
struct model_counts;
struct model_store;

/// Writes the Tecplot file: a zone of the boundary triangles and, when the
/// model has field points, a zone of the field cells over them.
void write_plot_file(const model_counts& counts, const model_store& store, output_channel& out);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_PLOT_FILE_H_
