#include "platform/system_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/system_memory.h"

namespace vestan {
namespace {

TEST(SystemInfo, StoredVersionCodes) {
  const std::pair<int32_t, int32_t> cases[] = {{75, 275},  {70, 270},  {0, 200}, {80, 280},
                                               {170, 270}, {250, 250}, {-3, 200}};
  for (const auto& [base, stored] : cases) EXPECT_EQ(StoredOsVersionCode(base), stored) << base;
}

TEST(SystemInfo, ThisSystemIsALaterClientWithItsOwnName) {
  int32_t build = -1;
  EXPECT_EQ(GetOsVersionNumbers(0, build), 80);
  EXPECT_EQ(build, 0);
  EXPECT_EQ(GetOsVersionNumbers(1, build), 180);
  const OsVersion os = GetOsName();
  EXPECT_EQ(os.Code, 280);
  EXPECT_NE(os.Name.find("Linux"), std::string::npos) << os.Name;
  EXPECT_TRUE(os.ServicePack.empty());
  int32_t level = -1;
  EXPECT_EQ(GetOsUpdateSuffix(level), "");
  EXPECT_EQ(level, 0);
  // Present (the newer dialogs) but not enabled: no border offsets to make up.
  EXPECT_EQ(QueryDwmComposition(os.Code).Present, 1);
  EXPECT_EQ(QueryDwmComposition(os.Code).Enabled, 0);
  EXPECT_EQ(QueryDwmComposition(230).Present, 0);
  EXPECT_EQ(CountOtherWindows(true), 0);
}

TEST(SystemInfo, ReadersOfTheSystemFiles) {
  EXPECT_EQ(OsReleaseName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                          "(bookworm)\"\nVERSION=\"12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(OsReleaseName("NAME='Void'\nVERSION=\"rolling \\\"x\\\"\""), "Void rolling \"x\"");
  EXPECT_EQ(OsReleaseName("garbage"), "");

  const std::string meminfo =
      "MemTotal:       24682260 kB\nMemFree:  100 kB\nMemAvailable:   21994924 kB\n";
  EXPECT_EQ(ProcKilobytes(meminfo, "MemTotal"), 24682260);
  EXPECT_EQ(ProcKilobytes(meminfo, "MemAvailable"), 21994924);
  EXPECT_EQ(ProcKilobytes(meminfo, "Mem"), -1);
  EXPECT_EQ(ProcKilobytes(meminfo, "SwapTotal"), -1);

  const CpuIdentity cpu = ParseCpuInfo(
      "processor\t: 0\ncpu family\t: 6\nmodel\t\t: 158\nmodel name\t: X\nstepping\t: 10\n\n"
      "processor\t: 1\ncpu family\t: 99\n");
  EXPECT_EQ(cpu.Family, 6);
  EXPECT_EQ(cpu.Model, 158);
  EXPECT_EQ(cpu.Stepping, 10);
  EXPECT_EQ(ParseCpuInfo("processor : 0\nCPU architecture: 8\n").Family, -1);
}

TEST(SystemInfo, MemoryAndProcessorsOfThisMachine) {
  const MemoryStatusKb memory = GetMemoryStatusKb();
  EXPECT_EQ(memory.TotalPhysical, static_cast<double>(PhysicalMemoryBytes() / 1024));
  EXPECT_GT(memory.AvailablePhysical, 0);
  EXPECT_LE(memory.AvailablePhysical, memory.TotalPhysical);
  EXPECT_GE(memory.TotalPageFile, memory.TotalPhysical);
  EXPECT_GT(memory.AvailableVirtual, 0);
  EXPECT_LT(memory.AvailableVirtual, memory.TotalVirtual);
  const ProcessorInfo cpu = GetProcessorInfo();
  EXPECT_GE(cpu.Count, 1);
}

TEST(SystemInfo, TheIdealProcessorAppliesOnlyWhereItExists) {
  EXPECT_FALSE(SetMainThreadIdealProcessor(3, 2));
  EXPECT_FALSE(SetMainThreadIdealProcessor(0, 1));
  EXPECT_FALSE(SetMainThreadIdealProcessor(-1, 8));
  EXPECT_TRUE(SetMainThreadIdealProcessor(1, 2));
}

}  // namespace
}  // namespace vestan
