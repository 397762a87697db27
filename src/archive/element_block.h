#ifndef CDBBEM_ARCHIVE_ELEMENT_BLOCK_H_
#define CDBBEM_ARCHIVE_ELEMENT_BLOCK_H_

#include <cstdint>
#include <string_view>

#include "textrec/two_tasks.h"

namespace cdbbem {

class record_reader;

/// Whether an archive record announces the element block's layout: "(19i8)"
/// or "(19i9)" in columns 1-6, or "(19i10)" in columns 1-7.
bool is_element_layout(std::string_view record);
struct model;

/// Finds the element-block layout record, then reads E boundary elements,
/// each made into one triangle (3 nodes) or two (4 nodes, split along the
/// shorter diagonal, J-L on a tie), and C field cells.  Sets T,
/// `triangle_nodes`, `element_triangles` and `field_cell_nodes`.  Element
/// numbers, corner nodes and cell corners outside the model end the run.
void read_element_block(record_reader& archive, model& m);

/// How far `read_element_records` has gone, for another thread: the number
/// of boundary elements kept so far, published every few thousand elements
/// and after the last; its end is marked by the caller once the reading has
/// ended, whether it read them all or failed.
using element_progress = shared_count;

/// `read_element_block` without the triangles: each boundary element's
/// number and corners are kept in the upper part of `triangle_nodes` (the
/// node coordinates need not be known yet); T stays 0.  Progress goes to
/// `progress` when given.
void read_element_records(record_reader& archive, model& m, element_progress* progress = nullptr);

/// Makes the boundary elements `first` to `last` that `read_element_records`
/// kept into triangles, as `read_element_block` would have, when the ones
/// before `first` are made already.  The elements after `last` may still be
/// being read meanwhile: their places are out of reach of these triangles.
void triangulate_elements(model& m, std::int64_t first, std::int64_t last);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_ELEMENT_BLOCK_H_
