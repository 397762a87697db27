#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string_view>

#include "platform/machine.h"

namespace cdbbem {

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

#if defined(MADV_HUGEPAGE) || defined(MADV_POPULATE_WRITE)
namespace {

// Gives `advice` for the whole `unit`-aligned units inside a block.  Only a
// hint either way: where the system refuses, the pages come as they would.
void advise_units(void* data, std::uint64_t bytes, std::uintptr_t unit, int advice) {
  auto start = reinterpret_cast<std::uintptr_t>(data);
  std::uintptr_t first = (start + unit - 1) & ~(unit - 1);
  std::uintptr_t last = (start + bytes) & ~(unit - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, advice);
  }
}

}  // namespace
#endif

void advise_huge_pages(void* data, std::uint64_t bytes) {
#ifdef MADV_HUGEPAGE
  // Without it the pages are simply small.
  advise_units(data, bytes, std::uintptr_t{1} << 21, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

namespace {

// The processors a CPU quota allows, rounded up; 0 when no quota is set.
// Control groups version 2 keep "quota period" in cpu.max, version 1 keep
// the two in separate files.
unsigned quota_processors() {
  long long quota = -1;
  long long period = 0;
  if (std::FILE* f = std::fopen("/sys/fs/cgroup/cpu.max", "r")) {
    if (std::fscanf(f, "%lld %lld", &quota, &period) != 2) {
      quota = -1;
    }
    std::fclose(f);
  } else {
    std::FILE* q = std::fopen("/sys/fs/cgroup/cpu/cpu.cfs_quota_us", "r");
    std::FILE* p = std::fopen("/sys/fs/cgroup/cpu/cpu.cfs_period_us", "r");
    if (q == nullptr || p == nullptr || std::fscanf(q, "%lld", &quota) != 1 ||
        std::fscanf(p, "%lld", &period) != 1) {
      quota = -1;
    }
    if (q != nullptr) {
      std::fclose(q);
    }
    if (p != nullptr) {
      std::fclose(p);
    }
  }
  if (quota <= 0 || period <= 0) {
    return 0;
  }
  return static_cast<unsigned>((quota + period - 1) / period);
}

}  // namespace

void populate_pages(void* data, std::uint64_t bytes) {
#ifdef MADV_POPULATE_WRITE
  // A head start only: where it fails the pages come at their first write.
  const long size = sysconf(_SC_PAGESIZE);
  if (size > 0) {
    advise_units(data, bytes, static_cast<std::uintptr_t>(size), MADV_POPULATE_WRITE);
  }
#else
  (void)data;
  (void)bytes;
#endif
}

unsigned processor_count() {
  unsigned count = 1;
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    count = static_cast<unsigned>(CPU_COUNT(&set));
  } else if (long online = ::sysconf(_SC_NPROCESSORS_ONLN); online > 0) {
    count = static_cast<unsigned>(online);
  }
  unsigned quota = quota_processors();
  if (quota != 0 && quota < count) {
    count = quota;
  }
  return count < 1 ? 1 : count;
}

calendar_date local_date() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

}  // namespace cdbbem
