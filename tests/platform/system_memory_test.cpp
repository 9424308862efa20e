#include "platform/system_memory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace vestan {
namespace {

TEST(SystemMemory, PhysicalMemoryIsTheKernelsTotal) {
  // "MemTotal:  N kB" counts the same pages in units of 1024 bytes.
  std::ifstream meminfo("/proc/meminfo");
  std::string key, unit;
  uint64_t kilobytes = 0;
  ASSERT_TRUE(meminfo >> key >> kilobytes >> unit);
  ASSERT_EQ(key, "MemTotal:");
  ASSERT_EQ(unit, "kB");
  EXPECT_EQ(PhysicalMemoryBytes(), kilobytes * 1024);
}

}  // namespace
}  // namespace vestan
