// How much memory the machine has, for limits on what a file may make the
// program allocate.
#pragma once

#include <cstdint>

namespace vestan {

// Bytes of physical memory; the largest value when the system does not say.
uint64_t PhysicalMemoryBytes();

}  // namespace vestan
