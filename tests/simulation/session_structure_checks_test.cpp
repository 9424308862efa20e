// The head check as a run makes it: the shipped definitions read by the
// session, the machine's parts loaded for the checks in force, a stock on
// the vice, and the check the run calls after each cut over positions all
// about the stock and the vice; its hits are those of the full scans.
#include <gtest/gtest.h>

#include <string>

#include "machine/reference_structure_check/reference_structure_check.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

TEST(SessionStructureChecks, TheShippedMachineHitsWhatTheFullScansHit) {
  testing::FolderSession f;
  Session& s = f.S;
  testing::ReadShippedDefinitions(s, std::string(VESTAN_DATA_DIR));
  for (const size_t pair : {kPairHeadWork, kPairHeadVice, kPairHeadTable})
    s.Defs.Checks.Pairs[pair] = 1;
  ASSERT_EQ(ReadMachineInto(s, 1).State, kFileRead);
  const MachinePartMeshes& meshes = s.Meshes;
  ASSERT_GT(meshes.Head.FacetCount(), 0);
  ASSERT_GT(meshes.Vices[0].FacetCount(), 0);
  ASSERT_GT(meshes.Table.FacetCount(), 0);
  // Loaded where the run reads them, with their indexes.
  EXPECT_TRUE(LeavesCurrent(meshes.Head.Leaves, meshes.Head.Triangles));
  EXPECT_TRUE(GridCurrent(meshes.Vices[0].Grid, meshes.Vices[0].Triangles,
                          meshes.Vices[0].Records.size()));
  testing::MakeBoxStock(s, {-40, -30, 80, 40, 30, 110}, 0.5);

  int hits = 0, misses = 0;
  for (double x = -260; x <= 260; x += 13)
    for (double y = -120; y <= 120; y += 20)
      for (double z = -5; z <= 125; z += 10) {
        s.Nc.Position.MachinePosition = {x, y, z, 0, 0};
        std::array<int32_t, 3> got{}, expected{};
        for (const bool old : {true, false}) {
          ResetInterferenceFlags(s.Run.Hits);
          StructureCheckContext context = StructureChecksOf(s);
          if (old)
            reference::CheckHeadInterference(context);
          else
            CheckHeadInterference(context);
          std::array<int32_t, 3>& out = old ? expected : got;
          out = {s.Run.Hits.Pairs[kPairHeadWork], s.Run.Hits.Pairs[kPairHeadVice],
                 s.Run.Hits.Pairs[kPairHeadTable]};
        }
        ASSERT_EQ(got, expected) << "at " << x << ", " << y << ", " << z;
        ++(expected == std::array<int32_t, 3>{} ? misses : hits);
      }
  EXPECT_GT(hits, 100);
  EXPECT_GT(misses, 100);
}

}  // namespace
}  // namespace vestan
