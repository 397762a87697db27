#ifndef CDBBEM_WRITERS_VTU_FILE_H_
#define CDBBEM_WRITERS_VTU_FILE_H_

#include <string>

#include "textrec/failure.h"

namespace cdbbem {

struct mesh_report;
struct model;

/// Writes the model as a VTK XML unstructured grid (appended raw binary,
/// 64-bit block headers, the machine's byte order) into the file at
/// `path`, from its start, cut after the last byte.  Points: boundary
/// nodes 1..N, then field points 1..P (Float64).  Cells: the triangles in
/// the model file's order, then the field cells as quadrilaterals.  Cell
/// data: bc_kind (Int32; 0 for field cells), bc_value (Float64; 0 for
/// field cells), element (Int32; the archive element of each triangle, E + c
/// for field cell c), defect (Int32; the triangle's `defect_flag` bits).
/// Point data: potential (Float64; NaN where a node carries none and at
/// field points).  Raises 9 or 30 when the file cannot be opened and 38
/// when it cannot be written, on `unit`.
/// With `node_labels`, the points also carry the archive label of each
/// node (array "node_label").
void write_vtu_file(const model& m, const mesh_report& r, const std::string& path, channel unit,
                    bool node_labels = false);

}  // namespace cdbbem

#endif  // CDBBEM_WRITERS_VTU_FILE_H_
