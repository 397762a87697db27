#ifndef CDBBEM_MODEL_MODEL_H_
#define CDBBEM_MODEL_MODEL_H_

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace cdbbem {

/// Marks a node without a prescribed potential (1.23e-33).
inline constexpr double NO_POTENTIAL = std::bit_cast<double>(std::uint64_t{0x39198BCD3EC8C54A});

/// Boundary-condition kinds of a triangle.
inline constexpr std::int32_t potential_prescribed = 1;
inline constexpr std::int32_t flux_prescribed = 2;

/// The model counts and what the survey learns of the archive.
struct model_counts {
  std::int32_t node_count = 0;            ///< N, boundary nodes
  std::int32_t element_count = 0;         ///< E, boundary elements
  std::int32_t field_point_count = 0;     ///< P
  std::int32_t field_cell_count = 0;      ///< C
  std::int32_t triangle_count = 0;        ///< T, boundary triangles made so far
  std::int32_t node_layout = 0;           ///< 1 to 4, the archive's node-record layout
  std::int64_t node_number_warnings = 0;  ///< node records not numbered as their position
  bool has_potential_conditions = false;
  bool has_flux_conditions = false;
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

/// The model store.
struct model_store {
  store_array<double, 3> node_xyz;                      ///< 3 x N
  store_array<std::int32_t, 3> triangle_nodes;          ///< 3 x 2E
  store_array<std::int32_t> element_triangles;          ///< E x 2
  store_array<double> triangle_bc_value;                ///< 2E
  store_array<std::int32_t> triangle_bc_kind;           ///< 2E
  store_array<double> node_potential;                   ///< N
  store_array<std::int32_t> triangle_prescribed_count;  ///< 2E
  store_array<double, 3> field_point_xyz;               ///< 3 x P
  store_array<std::int32_t, 4> field_cell_nodes;        ///< 4 x C

  /// Triangle `k` (0 or 1) made from element `e`; both are the same
  /// triangle for a 3-node element, 0 for an element not read.
  std::int32_t& element_triangle(std::int64_t e, int k) {
    return element_triangles[e + k * (element_triangles.extent / 2)];
  }
  std::int32_t element_triangle(std::int64_t e, int k) const {
    return element_triangles[e + k * (element_triangles.extent / 2)];
  }
};

/// A model: its counts, its store, and the elements that flux records named.
struct model {
  model_counts counts;
  model_store store;
  /// Entry e is true when a flux record named element e (1..E); empty when
  /// the archive has no flux records.
  std::vector<bool> flux_elements;
};

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_MODEL_H_
