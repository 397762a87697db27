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

calendar_date local_date() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wDay, now.wMonth, now.wYear};
}

}  // namespace cdbbem
