#ifndef CDBBEM_RUN_MODEL_H_
#define CDBBEM_RUN_MODEL_H_

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace cdbbem {

/// Marks a node without a prescribed potential (1.23e-33).
inline constexpr double NO_POTENTIAL = std::bit_cast<double>(std::uint64_t{0x39198BCD3EC8C54A});

/// Boundary-condition kinds of a triangle.
inline constexpr std::int32_t potential_prescribed = 1;
inline constexpr std::int32_t flux_prescribed = 2;

/// The model counts and what the survey learns of the archive.
struct model_counts {
  std::int32_t node_count = 0;         ///< N, boundary nodes
  std::int32_t element_count = 0;      ///< E, boundary elements
  std::int32_t field_point_count = 0;  ///< P
  std::int32_t field_cell_count = 0;   ///< C
  std::int32_t triangle_count = 0;     ///< T, boundary triangles made so far
  std::int32_t node_layout = 0;        ///< 1 to 4, the archive's node-record layout
  bool has_potential_conditions = false;
  bool has_flux_conditions = false;
};

/// Releases memory taken with std::calloc.
struct free_deleter {
  void operator()(void* p) const { std::free(p); }
};

/// One array of the model store, indexed from 1.
template <typename T>
struct store_array {
  std::unique_ptr<T[], free_deleter> data;
  std::int64_t extent = 0;  ///< number of elements

  T& operator[](std::int64_t i) { return data[static_cast<std::size_t>(i - 1)]; }
  const T& operator[](std::int64_t i) const { return data[static_cast<std::size_t>(i - 1)]; }
};

/// The model store.  Two-dimensional arrays keep their first index fastest:
/// column n of a 3 x N array is elements 3n-2 to 3n.
struct model_store {
  store_array<double> node_xyz;                         ///< 3 x N
  store_array<std::int32_t> triangle_nodes;             ///< 3 x 2E
  store_array<std::int32_t> element_triangles;          ///< E x 2
  store_array<double> triangle_bc_value;                ///< 2E
  store_array<std::int32_t> triangle_bc_kind;           ///< 2E
  store_array<double> node_potential;                   ///< N
  store_array<std::int32_t> triangle_prescribed_count;  ///< 2E
  store_array<double> field_point_xyz;                  ///< 3 x P
  store_array<std::int32_t> field_cell_nodes;           ///< 4 x C
};

/// Pointer to the `rows` values of column `col` (1-based) of an array.
template <typename T>
T* column(store_array<T>& a, int rows, std::int64_t col) {
  return a.data.get() + (col - 1) * rows;
}
template <typename T>
const T* column(const store_array<T>& a, int rows, std::int64_t col) {
  return a.data.get() + (col - 1) * rows;
}

}  // namespace cdbbem

#endif  // CDBBEM_RUN_MODEL_H_
