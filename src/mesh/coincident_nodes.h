#ifndef CDBBEM_MESH_COINCIDENT_NODES_H_
#define CDBBEM_MESH_COINCIDENT_NODES_H_

#include <cstdint>

namespace cdbbem {

class example_list;
struct model;

/// Counts the boundary nodes that lie within `tolerance` of a
/// lower-numbered boundary node and offers each, with the lowest such node,
/// to `examples`.  Nodes are sorted into a grid of cells a little wider than
/// the tolerance, so each is compared only with the nodes of its own and
/// the 26 cells around it: 16 bytes per node while it runs.  A tolerance of
/// 0, or one that is not finite, puts every node in one cell.
std::int64_t count_coincident_nodes(const model& m, double tolerance, example_list& examples);

}  // namespace cdbbem

#endif  // CDBBEM_MESH_COINCIDENT_NODES_H_
