#include "run/store.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "run/model.h"
#include "textrec/failure.h"

namespace cdbbem {

namespace {

constexpr std::uint64_t largest_array_bytes = 4'294'967'295u;

std::uint64_t store_memory_cap = 0;  // 0: no cap

// What the machine has available without swapping.
std::uint64_t machine_memory_available() {
  // MemAvailable counts what can be had without swapping; take it when the
  // kernel gives it, otherwise the free physical pages.
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char name[64];
    unsigned long long kib = 0;
    while (std::fscanf(f, "%63s %llu kB", name, &kib) == 2) {
      if (std::string_view(name) == "MemAvailable:") {
        std::fclose(f);
        return static_cast<std::uint64_t>(kib) * 1024u;
      }
    }
    std::fclose(f);
  }
  long pages = sysconf(_SC_AVPHYS_PAGES);
  long size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && size > 0) {
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size);
  }
  return ~std::uint64_t{0};
}

// Asks for the whole 2 MiB pages inside a large array to be backed by huge
// pages: the readers and the defaults touch every page of the store once,
// and a fault per 4 KiB page costs as much as a tenth of a large run.
void advise_huge_pages(void* data, std::uint64_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t huge = std::uintptr_t{1} << 21;
  auto start = reinterpret_cast<std::uintptr_t>(data);
  std::uintptr_t first = (start + huge - 1) & ~(huge - 1);
  std::uintptr_t last = (start + bytes) & ~(huge - 1);
  if (last > first) {
    // Only a hint: without it the pages are simply small.
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#else
  (void)data;
  (void)bytes;
#endif
}

// Allocates zeroed memory without touching it (large blocks come as fresh
// zero pages), so that a count the archive cannot back costs nothing until
// the readers run out of records.
template <typename T>
void allocate(store_array<T>& a, std::int64_t extent, std::uint64_t& total, std::uint64_t budget) {
  extent = std::max<std::int64_t>(extent, 0);
  auto bytes = static_cast<std::uint64_t>(extent) * sizeof(T);
  if (bytes > largest_array_bytes) {
    fail(report::array_size_overflow, channel::none);
  }
  total += bytes;
  if (total > budget) {
    fail(report::no_memory, channel::none);
  }
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

std::uint64_t memory_available() {
  std::uint64_t machine = machine_memory_available();
  return store_memory_cap != 0 && store_memory_cap < machine ? store_memory_cap : machine;
}

void cap_store_memory(std::uint64_t bytes) { store_memory_cap = bytes; }

void allocate_store(const model_counts& counts, model_store& store) {
  const std::int64_t n = counts.node_count;
  const std::int64_t e = counts.element_count;
  const std::int64_t p = counts.field_point_count;
  const std::int64_t c = counts.field_cell_count;
  const std::int64_t triangles = 2 * std::max<std::int64_t>(e, 0);
  std::uint64_t total = 0;
  const std::uint64_t budget = memory_available();
  allocate(store.node_xyz, 3 * n, total, budget);
  allocate(store.triangle_nodes, 3 * triangles, total, budget);
  allocate(store.element_triangles, 2 * e, total, budget);
  allocate(store.triangle_bc_value, triangles, total, budget);
  allocate(store.triangle_bc_kind, triangles, total, budget);
  allocate(store.node_potential, n, total, budget);
  allocate(store.triangle_prescribed_count, triangles, total, budget);
  allocate(store.field_point_xyz, 3 * p, total, budget);
  allocate(store.field_cell_nodes, 4 * c, total, budget);
}

void set_default_conditions(model_store& store) {
  auto fill = [](auto& a, auto value) { std::fill(a.data.get(), a.data.get() + a.extent, value); };
  fill(store.triangle_bc_value, 0.0);
  fill(store.triangle_bc_kind, flux_prescribed);
  fill(store.node_potential, NO_POTENTIAL);
  fill(store.triangle_prescribed_count, std::int32_t{0});
}

}  // namespace cdbbem
