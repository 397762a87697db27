#ifndef CDBBEM_MESH_ANALYSIS_H_
#define CDBBEM_MESH_ANALYSIS_H_

#include "mesh/mesh_report.h"

namespace cdbbem {

struct model;

/// What an analysis leaves out.
struct analysis_options {
  /// Whether nodes that coincide are sought (input.vtu shows defects per
  /// cell and does not need them).
  bool coincident_nodes = true;
};

/// Checks a finished model: the triangles as the model file lists them,
/// boundary nodes 1..N, field points and field cells.  Reads the model
/// only and prints nothing.  Tolerances are relative to d, the diagonal
/// of the boundary nodes' bounding box: nodes within 1e-9 d coincide, a
/// triangle with |(b - a) x (c - a)| <= 1e-12 d^2 is degenerate.
///
/// Memory beyond the model: 21 bytes per triangle and 8 per node during
/// the edge analysis, 16 per node while coincident nodes are sought, and
/// one byte per field point.
mesh_report analyse_mesh(const model& m, analysis_options options = {});

}  // namespace cdbbem

#endif  // CDBBEM_MESH_ANALYSIS_H_
