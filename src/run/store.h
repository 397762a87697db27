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

/// The memory the store may take, in bytes: what the machine has available,
/// or less under a cap set by `cap_store_memory`.
std::uint64_t memory_available();

/// Caps the memory the store may take at `bytes` for the rest of the process
/// (0 lifts the cap).  For harnesses that run many translations in one
/// process and must not let an archive's counts take the machine's memory;
/// the program itself sets no cap.
void cap_store_memory(std::uint64_t bytes);

/// Every triangle a flux triangle with value 0.0, every node without a
/// prescribed potential, over the arrays' whole extents.
void set_default_conditions(model_store& store);

}  // namespace cdbbem

#endif  // CDBBEM_RUN_STORE_H_
