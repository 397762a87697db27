#ifndef CDBBEM_MESH_MESH_REPORT_H_
#define CDBBEM_MESH_MESH_REPORT_H_

#include <array>
#include <cstdint>

#include "mesh/scratch_array.h"

namespace cdbbem {

/// A triangle's defects, as bit flags.
namespace defect_flag {
inline constexpr std::uint8_t open_edge = 1;
inline constexpr std::uint8_t nonmanifold_edge = 2;
inline constexpr std::uint8_t misoriented_edge = 4;
inline constexpr std::uint8_t degenerate = 8;
inline constexpr std::uint8_t duplicate = 16;
inline constexpr std::uint8_t warped = 32;
}  // namespace defect_flag

/// Where one defect is, in the archive's numbers: up to two element numbers
/// (0: none) and up to three node numbers (0: none).
struct defect_example {
  std::array<std::int32_t, 2> elements = {};
  std::array<std::int32_t, 3> nodes = {};
  std::int64_t uses = 0;  ///< triangles on a non-manifold edge; 0 otherwise
};

/// The first few examples of one defect: lowest first element, then lowest
/// second element, then lowest node numbers; element 0 (none) last.
class example_list {
 public:
  static constexpr std::size_t capacity = 5;
  /// Keeps `e` when it is among the `capacity` lowest offered so far.
  void offer(const defect_example& e);
  const defect_example* begin() const { return items_.data(); }
  const defect_example* end() const { return items_.data() + size_; }
  std::size_t size() const { return size_; }

 private:
  std::array<defect_example, capacity> items_ = {};
  std::size_t size_ = 0;
};

/// The figures of a mesh check, in the order the reports give them.
struct mesh_figures {
  std::int64_t nodes = 0;
  std::int64_t elements = 0;
  std::int64_t triangles = 0;
  std::int64_t field_points = 0;
  std::int64_t field_cells = 0;
  std::int64_t node_number_warnings = 0;
  std::int64_t potential_triangles = 0;
  std::int64_t flux_triangles = 0;
  std::int64_t default_flux_triangles = 0;
  std::int64_t partly_prescribed_triangles = 0;
  std::int64_t unused_nodes = 0;
  std::int64_t coincident_nodes = 0;
  std::int64_t degenerate_triangles = 0;
  std::int64_t duplicate_triangles = 0;
  std::int64_t open_edges = 0;
  std::int64_t nonmanifold_edges = 0;
  std::int64_t misoriented_edges = 0;
  std::int64_t surfaces = 0;
  double area = 0.0;
  double volume = 0.0;
  std::int64_t warped_elements = 0;
  std::int64_t degenerate_field_cells = 0;
  std::int64_t unused_field_points = 0;

  bool closed() const { return open_edges == 0 && nonmanifold_edges == 0; }
  bool oriented() const { return misoriented_edges == 0 && nonmanifold_edges == 0; }
};

/// Examples of each defect.  Nodes: a coincident node, then the
/// lowest-numbered node it lies on.  Triangles: their element and nodes in
/// the triangle's order (a duplicate also the element of the first triangle
/// it repeats).  Edges: the elements of the triangles along it and its two
/// nodes, lower first.
struct defect_examples {
  example_list coincident_nodes;
  example_list degenerate_triangles;
  example_list duplicate_triangles;
  example_list open_edges;
  example_list nonmanifold_edges;
  example_list misoriented_edges;
};

/// What a mesh check finds in a model.
struct mesh_report {
  mesh_figures figures;
  defect_examples examples;
  /// Per triangle t (index t - 1): the archive element it came from, 0 for
  /// a triangle whose element number a later element record took over.
  scratch_array<std::int32_t> triangle_element;
  /// Per triangle t (index t - 1): its `defect_flag` bits.
  scratch_array<std::uint8_t> triangle_defects;

  /// True when a figure that makes the model unfit to solve is above 0.
  bool has_defects() const;
};

}  // namespace cdbbem

#endif  // CDBBEM_MESH_MESH_REPORT_H_
