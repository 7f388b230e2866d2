#include <windows.h>

#include "app/update/PageCount.h"

namespace fbu {

std::uint64_t PhysicalMemoryBytes()
{
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  // Unknown memory refuses nothing.
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : UINT64_MAX;
}

} // namespace fbu
