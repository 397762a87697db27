#ifndef CDBBEM_MODEL_STORE_H_
#define CDBBEM_MODEL_STORE_H_

#include <cstdint>

namespace cdbbem {

struct model_counts;
struct model_store;

/// Allocates the store's arrays with the extents the counts give (a negative
/// extent is 0).  Raises 179 for an array of more than 4,294,967,295 bytes
/// and 41 when the store would take more than `budget` bytes or the system
/// refuses.  Every array starts filled with zeros.  The triangle arrays
/// hold 2E triangles, or `triangle_capacity` when given.
void allocate_store(const model_counts& counts, model_store& store, std::uint64_t budget,
                    std::int64_t triangle_capacity = -1);

/// The memory the store may take: what the machine can give, or `cap`
/// bytes when that is less (0 is no cap).
std::uint64_t store_budget(std::uint64_t cap);

}  // namespace cdbbem

#endif  // CDBBEM_MODEL_STORE_H_
