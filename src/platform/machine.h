#ifndef CDBBEM_PLATFORM_MACHINE_H_
#define CDBBEM_PLATFORM_MACHINE_H_

#include <cstdint>

namespace cdbbem {

/// The memory the machine can give without swapping, in bytes; all ones
/// when the system does not tell.
std::uint64_t machine_memory_available();

/// Hints that the whole 2 MiB pages inside a large block be backed by huge
/// pages; nothing where the system has no such hint.
void advise_huge_pages(void* data, std::uint64_t bytes);

/// Makes the whole pages inside a block resident and writable ahead of
/// their first write, without changing what they hold, so that another
/// thread may write the block meanwhile; nothing where the system cannot.
void populate_pages(void* data, std::uint64_t bytes);

/// Asks the processor to bring the cache line holding `p` near, for a
/// read soon; never faults.  Written as an instruction the compiler must
/// keep: GCC drops a loop that only hints as work without effect.
inline void fetch_soon(const void* p) noexcept {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
  __builtin_prefetch(p);
#endif
}

/// The processors this process may run on: its affinity mask, less where
/// a CPU quota of its control group allows fewer; at least 1.
unsigned processor_count();

/// Today's local calendar date.
struct calendar_date {
  int day;    ///< 1 to 31
  int month;  ///< 1 to 12
  int year;   ///< full year
};
calendar_date local_date();

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_MACHINE_H_
