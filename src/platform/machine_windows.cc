#include <windows.h>

#include "platform/machine.h"

namespace cdbbem {

std::uint64_t machine_memory_available() {
  // The physical memory available now, the standby list included: what can
  // be had without paging.
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status) == 0) {
    return ~std::uint64_t{0};
  }
  return status.ullAvailPhys;
}

// Large pages exist on Windows only for memory reserved with a privilege
// that ordinary users lack; the store keeps small pages.
void advise_huge_pages(void* /*data*/, std::uint64_t /*bytes*/) {}

void populate_pages(void* /*data*/, std::uint64_t /*bytes*/) {}

unsigned processor_count() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask) == 0) {
    return 1;
  }
  unsigned count = 0;
  for (; process_mask != 0; process_mask &= process_mask - 1) {
    ++count;
  }
  return count < 1 ? 1 : count;
}

calendar_date local_date() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wDay, now.wMonth, now.wYear};
}

}  // namespace cdbbem
