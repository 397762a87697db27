#ifndef CDBBEM_WRITERS_MODEL_FILE_H_
#define CDBBEM_WRITERS_MODEL_FILE_H_

#include "textrec/failure.h"
#include "textrec/record_format.h"
#include "writers/record_runs.h"

namespace cdbbem {

class output_channel;
struct model;

/// The model file's record formats.
namespace formats {

using k = descriptor_kind;

inline constexpr edit_descriptor field_point_line[] = {{k::integer, 1, 10}, {k::real_d, 3, 24, 9}};
inline constexpr edit_descriptor element_line[] = {
    {k::integer, 1, 10}, {k::skip, 1, 3}, {k::integer, 3, 8},    {k::skip, 1, 5},
    {k::integer, 1, 5},  {k::skip, 1, 5}, {k::real_d, 1, 24, 15}};
inline constexpr edit_descriptor node_line[] = {{k::integer, 1, 8}, {k::real_d, 3, 24, 15}};
inline constexpr edit_descriptor constants_line[] = {
    {k::literal, 1, 0, 0,
     "   1.0D0    0.0D0                 ! alpha, beta (For dual BIE formulation)"}};
inline constexpr edit_descriptor counts_line[] = {
    {k::integer, 4, 8},
    {k::literal, 1, 0, 0, "  ! No. of Boundary Elements, Nodes, Field Points and Cells"}};
inline constexpr edit_descriptor title_line[] = {
    {k::literal, 1, 0, 0, " A BEM Model for 3-D Potential Analysis,"},
    {k::skip, 1, 16},
    {k::text, 1, 9}};

}  // namespace formats

/// Writes the solver's model file: title with today's date, counts, the
/// formulation constants, then nodes, triangles with their conditions,
/// field points and field cells, each section after its "$" marker.
void write_model_file(const model& m, output_channel& out);

/// The model file as runs of records, in order.
output_records model_file_records(const model& m);

/// Whether every count and number `write_model_file` writes fits its field.
bool model_file_fits(const model& m);

/// Raises the output conversion error (63) on `unit`, in the writer's
/// stage, exactly when `write_model_file` would: when a count or a number
/// it writes does not fit its field.  Writes nothing.
void check_model_file_fits(const model& m, channel unit);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_MODEL_FILE_H_
