#ifndef CDBBEM_RUN_STORE_H_
#define CDBBEM_RUN_STORE_H_

#include <cstdint>

namespace cdbbem {

struct model_counts;
struct model_store;

/// Allocates the nine arrays with the extents the counts give (a negative
/// extent is 0).  Raises 179 for an array of more than 4,294,967,295 bytes
/// and 41 when the store would not fit in the memory the machine can give.
/// Every array starts filled with zeros.
void allocate_store(const model_counts& counts, model_store& store);

/// The memory the store may take, in bytes: what the machine has available.
std::uint64_t memory_available();

/// Every triangle a flux triangle with value 0.0, every node without a
/// prescribed potential, over the arrays' whole extents.
void set_default_conditions(model_store& store);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_STORE_H_
