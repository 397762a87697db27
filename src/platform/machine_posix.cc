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

calendar_date local_date() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

}  // namespace cdbbem
