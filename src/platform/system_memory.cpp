#include "platform/system_memory.h"

#include <unistd.h>

#include <limits>

namespace vestan {

uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageBytes = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageBytes <= 0) return std::numeric_limits<uint64_t>::max();
  const uint64_t count = static_cast<uint64_t>(pages), size = static_cast<uint64_t>(pageBytes);
  if (count > std::numeric_limits<uint64_t>::max() / size)
    return std::numeric_limits<uint64_t>::max();
  return count * size;
}

}  // namespace vestan
