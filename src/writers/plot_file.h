#ifndef CDBBEM_WRITERS_PLOT_FILE_H_
#define CDBBEM_WRITERS_PLOT_FILE_H_

#include "textrec/record_format.h"
#include "writers/record_runs.h"

namespace cdbbem {

class output_channel;
struct model;

/// The plot file's record formats.
namespace formats {

using k = descriptor_kind;

inline constexpr edit_descriptor i4_15[] = {{k::integer, 4, 15}};
inline constexpr edit_descriptor i3_15[] = {{k::integer, 3, 15}};
inline constexpr edit_descriptor e3_15_7[] = {{k::real_e, 3, 15, 7}};

}  // namespace formats

/// Writes the Tecplot file: a zone of the boundary triangles and, when the
/// model has field points, a zone of the field cells over them.
void write_plot_file(const model& m, output_channel& out);

/// The plot file as runs of records, in order.
output_records plot_file_records(const model& m);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_PLOT_FILE_H_
