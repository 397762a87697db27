#ifndef CDBBEM_MESH_EDGES_H_
#define CDBBEM_MESH_EDGES_H_

namespace cdbbem {

struct mesh_report;
struct model;

/// The figures that come from which triangles share nodes and edges:
/// unused nodes, duplicate triangles, open, non-manifold and misoriented
/// edges, and surfaces; sets the triangles' flags for them and offers
/// examples.  `triangle_element` and `triangle_defects` must be sized.
///
/// Each node's triangles are listed once (12 bytes per triangle, 8 per
/// node); each edge is then met from its lower node, among the few
/// triangles of that node, and the triangles along it are joined into
/// surfaces by a union-find forest (4 bytes per triangle).
void analyse_edges(const model& m, mesh_report& r);

}  // namespace cdbbem

#endif  // CDBBEM_MESH_EDGES_H_
