#include "model/store.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "model/model.h"
#include "platform/machine.h"
#include "textrec/failure.h"

namespace cdbbem {

namespace {

constexpr std::uint64_t largest_array_bytes = 4'294'967'295u;

// Allocates zeroed memory without touching it (large blocks come as fresh
// zero pages), so that a count the archive cannot back costs nothing until
// the readers run out of records.  The readers and the defaults touch every
// page of the store once, and a fault per small page costs as much as a
// tenth of a large run: large arrays ask for huge pages.
// Counts an array of `bytes` in the store's budget.
void count_bytes(std::uint64_t bytes, std::uint64_t& total, std::uint64_t budget) {
  if (bytes > largest_array_bytes) {
    fail(report::array_size_overflow, channel::none);
  }
  total += bytes;
  if (total > budget) {
    fail(report::no_memory, channel::none);
  }
}

template <typename T, int rows>
void allocate(store_array<T, rows>& a, std::int64_t extent, std::uint64_t& total,
              std::uint64_t budget) {
  extent = std::max<std::int64_t>(extent, 0);
  auto bytes = static_cast<std::uint64_t>(extent) * sizeof(T);
  count_bytes(bytes, total, budget);
  // One element at least, so that a zero extent is a valid allocation too.
  a.data.reset(static_cast<T*>(
      std::calloc(static_cast<std::size_t>(std::max<std::int64_t>(extent, 1)), sizeof(T))));
  if (a.data == nullptr) {
    fail(report::no_memory, channel::none);
  }
  advise_huge_pages(a.data.get(), bytes);
  a.extent = extent;
}

}  // namespace

namespace {

// In steps of 2 MiB from the end, where the filling reaches last.
template <typename T>
void populate_backwards(const store_array<T>& a) {
  constexpr std::uint64_t step = std::uint64_t{1} << 21;
  auto* start = reinterpret_cast<char*>(a.data.get());
  std::uint64_t end = static_cast<std::uint64_t>(a.extent) * sizeof(T);
  while (end > 0) {
    const std::uint64_t from = end > step ? end - step : 0;
    populate_pages(start + from, end - from);
    end = from;
  }
}

}  // namespace

void populate_condition_columns(const model_store& store) {
  // The columns filled in place later first; the kinds and the node
  // potentials are filled at once.
  populate_backwards(store.triangle_bc_value);
  populate_backwards(store.triangle_prescribed_count);
  populate_backwards(store.triangle_flux_set);
  populate_backwards(store.triangle_bc_kind);
  populate_backwards(store.node_potential);
}

std::uint64_t store_budget(std::uint64_t cap) {
  std::uint64_t machine = machine_memory_available();
  return cap != 0 && cap < machine ? cap : machine;
}

void allocate_store(const model_counts& counts, model_store& store, std::uint64_t budget) {
  const std::int64_t n = counts.node_count;
  const std::int64_t e = counts.element_count;
  const std::int64_t p = counts.field_point_count;
  const std::int64_t c = counts.field_cell_count;
  const std::int64_t triangles = 2 * std::max<std::int64_t>(e, 0);
  std::uint64_t total = 0;
  allocate(store.node_xyz, 3 * n, total, budget);
  allocate(store.triangle_nodes, 3 * triangles, total, budget);
  allocate(store.triangle_bc_value, triangles, total, budget);
  allocate(store.triangle_bc_kind, triangles, total, budget);
  allocate(store.node_potential, n, total, budget);
  allocate(store.triangle_prescribed_count, triangles, total, budget);
  allocate(store.field_point_xyz, 3 * p, total, budget);
  allocate(store.field_cell_nodes, 4 * c, total, budget);
  // The labels: one per node, triangle, cell and element, beside the
  // positions the arrays above are indexed by.
  allocate(store.node_label, std::max<std::int64_t>(n, 0) + std::max<std::int64_t>(p, 0), total,
           budget);
  allocate(store.triangle_element, triangles, total, budget);
  allocate(store.triangle_face, triangles, total, budget);
  allocate(store.triangle_flux_set, triangles, total, budget);
  allocate(store.field_cell_element, c, total, budget);
  allocate(store.element_first_triangle, std::max<std::int64_t>(e, 0) + 1, total, budget);
  allocate(store.element_position.dense, e, total, budget);
  store.element_position.sparse.clear();
}

void allocate_node_columns(const model_counts& counts, model_store& store, std::uint64_t budget,
                           std::uint64_t& total, double* node_xyz) {
  const std::int64_t n = std::max<std::int64_t>(counts.node_count, 0);
  const std::int64_t p = std::max<std::int64_t>(counts.field_point_count, 0);
  if (node_xyz != nullptr) {
    store.node_xyz.data.reset(node_xyz);
    store.node_xyz.extent = 3 * n;
    count_bytes(static_cast<std::uint64_t>(3 * n) * sizeof(double), total, budget);
  } else {
    allocate(store.node_xyz, 3 * n, total, budget);
  }
  allocate(store.node_label, n + p, total, budget);
  allocate(store.field_point_xyz, 3 * p, total, budget);
}

void allocate_triangle_columns(const model_counts& counts, model_store& store, std::uint64_t budget,
                               std::uint64_t& total, std::int64_t triangles) {
  const std::int64_t e = std::max<std::int64_t>(counts.element_count, 0);
  const std::int64_t c = std::max<std::int64_t>(counts.field_cell_count, 0);
  allocate(store.triangle_nodes, 3 * triangles, total, budget);
  allocate(store.triangle_element, triangles, total, budget);
  allocate(store.triangle_face, triangles, total, budget);
  allocate(store.element_first_triangle, e + 1, total, budget);
  allocate(store.element_position.dense, e, total, budget);
  store.element_position.sparse.clear();
  allocate(store.field_cell_nodes, 4 * c, total, budget);
  allocate(store.field_cell_element, c, total, budget);
}

void allocate_condition_columns(const model_counts& counts, model_store& store,
                                std::uint64_t budget, std::uint64_t& total,
                                std::int64_t triangles) {
  allocate(store.triangle_bc_value, triangles, total, budget);
  allocate(store.triangle_bc_kind, triangles, total, budget);
  allocate(store.node_potential, std::max<std::int64_t>(counts.node_count, 0), total, budget);
  allocate(store.triangle_prescribed_count, triangles, total, budget);
  allocate(store.triangle_flux_set, triangles, total, budget);
}

}  // namespace cdbbem
