#ifndef CDBBEM_ARCHIVE_ELEMENT_BLOCK_H_
#define CDBBEM_ARCHIVE_ELEMENT_BLOCK_H_

#include <cstdint>
#include <string_view>

#include "textrec/early_task.h"

namespace cdbbem {

class record_reader;
class triangle_builder;

/// Whether an archive record announces the element block's layout: "(19i8)"
/// or "(19i9)" in columns 1-6, or "(19i10)" in columns 1-7.
bool is_element_layout(std::string_view record);
struct model;

/// How far `read_element_records` has gone, for another thread: the number
/// of boundary elements kept so far, published every few thousand elements
/// and after the last; its end is marked by the caller once the reading has
/// ended, whether it read them all or failed.
using element_progress = shared_count;

/// Finds the element-block layout record, then reads E boundary elements
/// and C field cells.  Each boundary element's number and corners are kept
/// in the upper part of `triangle_nodes` (the node coordinates need not be
/// known yet), the k-th as element position k; sets the element lookup,
/// `field_cell_nodes` and `field_cell_element`.  Element numbers, corner
/// nodes and cell corners outside the model end the run.  Progress goes to
/// `progress` when given.
void read_element_records(record_reader& archive, model& m, element_progress* progress = nullptr);

/// Makes the element positions `first` to `last` that `read_element_records`
/// kept into triangles through `triangles`: one (3 nodes, K = L) or two
/// (4 nodes, split along the shorter diagonal, J-L on a tie), when the ones
/// before `first` are made already.  The elements after `last` may still be
/// being read meanwhile: their places are out of reach of these triangles.
void triangulate_elements(triangle_builder& triangles, const model& m, std::int64_t first,
                          std::int64_t last);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_ELEMENT_BLOCK_H_
