#ifndef CDBBEM_MODEL_MODEL_H_
#define CDBBEM_MODEL_MODEL_H_

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace cdbbem {

/// Marks a node without a prescribed potential (1.23e-33).
inline constexpr double NO_POTENTIAL = std::bit_cast<double>(std::uint64_t{0x39198BCD3EC8C54A});

/// Boundary-condition kinds of a triangle.
inline constexpr std::int32_t potential_prescribed = 1;
inline constexpr std::int32_t flux_prescribed = 2;

/// The model counts.
struct model_counts {
  std::int32_t node_count = 0;         ///< N, boundary nodes
  std::int32_t element_count = 0;      ///< E, boundary elements
  std::int32_t field_point_count = 0;  ///< P
  std::int32_t field_cell_count = 0;   ///< C
  std::int32_t triangle_count = 0;     ///< T, boundary triangles
};

/// Releases memory taken with std::calloc.
struct free_deleter {
  void operator()(void* p) const { std::free(p); }
};

/// One array of the model store, indexed from 1, seen as columns of `rows`
/// values each (the first index varies fastest): column k is elements
/// rows*(k-1)+1 to rows*k.
template <typename T, int rows = 1>
struct store_array {
  std::unique_ptr<T[], free_deleter> data;
  std::int64_t extent = 0;  ///< number of elements

  T& operator[](std::int64_t i) { return data[static_cast<std::size_t>(i - 1)]; }
  const T& operator[](std::int64_t i) const { return data[static_cast<std::size_t>(i - 1)]; }

  /// The `rows` values of column `k` (1-based).
  T* column(std::int64_t k) { return data.get() + (k - 1) * rows; }
  const T* column(std::int64_t k) const { return data.get() + (k - 1) * rows; }

  T* begin() { return data.get(); }
  T* end() { return data.get() + extent; }
};

/// Finds the position of an element from its archive label.  Labels 1..E
/// are looked up in a table by label; any other label in a sorted list.
/// A label given twice finds the position given last.
struct element_lookup {
  store_array<std::int32_t> dense;  ///< E: the position of label e, 0 for none
  std::vector<std::pair<std::int32_t, std::int32_t>> sparse;  ///< (label, position), sorted

  /// Notes that element position `position` has label `label`; positions
  /// come in ascending order.
  void add(std::int32_t label, std::int32_t position) {
    if (!add_dense(label, position)) {
      sparse.emplace_back(label, position);
    }
  }

  /// Notes position `position` of a label in 1..E and returns true; false,
  /// noting nothing, for any other label, which `sparse` must then hold.
  /// Labels apart may be noted so from several threads at once.
  bool add_dense(std::int32_t label, std::int32_t position) {
    if (label < 1 || label > dense.extent) {
      return false;
    }
    dense[label] = position;
    return true;
  }

  /// Orders the labels outside 1..E once all are added.
  void seal();

  /// The position of the element labelled `label`, 0 when no element has it.
  std::int32_t find(std::int32_t label) const;
};

/// The model store.
struct model_store {
  store_array<double, 3> node_xyz;                      ///< 3 x N
  store_array<std::int32_t, 3> triangle_nodes;          ///< 3 x 2E
  store_array<double> triangle_bc_value;                ///< 2E
  store_array<std::int32_t> triangle_bc_kind;           ///< 2E
  store_array<double> node_potential;                   ///< N
  store_array<std::int32_t> triangle_prescribed_count;  ///< 2E
  store_array<double, 3> field_point_xyz;               ///< 3 x P
  store_array<std::int32_t, 4> field_cell_nodes;        ///< 4 x C

  /// The archive's label of each node position: boundary nodes 1..N, then
  /// field points N+1..N+P.
  store_array<std::int32_t> node_label;  ///< N + P
  /// The archive label of the element each triangle came from.
  store_array<std::int32_t> triangle_element;  ///< 2E
  /// The face of that element each triangle came from; 0 for a surface
  /// element's own surface.
  store_array<std::uint8_t> triangle_face;  ///< 2E
  /// 1 for a triangle whose flux a flux record set.
  store_array<std::uint8_t> triangle_flux_set;  ///< 2E
  /// The archive label of each field cell.
  store_array<std::int32_t> field_cell_element;  ///< C
  /// The triangles of element position k are `element_first_triangle[k]`
  /// up to, not including, `element_first_triangle[k + 1]`.
  store_array<std::int32_t> element_first_triangle;  ///< E + 1
  element_lookup element_position;

  /// The triangles [first, end) of element position `k` (1..E).
  std::pair<std::int32_t, std::int32_t> element_triangles(std::int64_t k) const {
    return {element_first_triangle[k], element_first_triangle[k + 1]};
  }
};

/// A model: its counts and its store.
struct model {
  model_counts counts;
  model_store store;
};

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_MODEL_H_
