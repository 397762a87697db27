#ifndef CDBBEM_MODEL_STORE_H_
#define CDBBEM_MODEL_STORE_H_

#include <cstdint>

namespace cdbbem {

struct model_counts;
struct model_store;

/// Allocates the store's arrays with the extents the counts give (a negative
/// extent is 0).  Raises 179 for an array of more than 4,294,967,295 bytes
/// and 41 when the store would take more than `budget` bytes or the system
/// refuses.  Every array starts filled with zeros.
void allocate_store(const model_counts& counts, model_store& store, std::uint64_t budget);

/// The same arrays in three groups, for a reader that learns the counts as
/// it goes and frees what it read before the next group: the node columns
/// (coordinates and labels of N nodes and P field points; the node
/// coordinates may be given, taken with std::malloc), the triangle
/// columns (`triangles` triangles, the ranges and lookup of E elements,
/// the C field cells) and the condition columns (of N nodes and
/// `triangles` triangles).  `total` carries the bytes taken so far, so
/// that the budget holds for the whole store.
void allocate_node_columns(const model_counts& counts, model_store& store, std::uint64_t budget,
                           std::uint64_t& total, double* node_xyz = nullptr);
void allocate_triangle_columns(const model_counts& counts, model_store& store, std::uint64_t budget,
                               std::uint64_t& total, std::int64_t triangles);
void allocate_condition_columns(const model_counts& counts, model_store& store,
                                std::uint64_t budget, std::uint64_t& total, std::int64_t triangles);

/// Makes the pages of the condition columns resident, from the end of each
/// towards its start, so that a second thread may do it while the
/// columns are filled from their starts.
void populate_condition_columns(const model_store& store);

/// The memory the store may take: what the machine can give, or `cap`
/// bytes when that is less (0 is no cap).
std::uint64_t store_budget(std::uint64_t cap);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_STORE_H_
