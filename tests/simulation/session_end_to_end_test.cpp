// The whole road below the run loop, through the session: the shipped
// definitions read in the start-up order, a box stock, an NC program through
// the reader, the interpreter, the motion driver, the block end, the machine
// position and the cutting kernel.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/cut_statistics.h"
#include "simulation/interference_bookkeeping.h"
#include "simulation/session_runs.h"

namespace vestan {
namespace {

// The shipped tool 1, a flat end mill of diameter 10, mills a slot 5 deep
// along X at Y50.2 from X-10 (outside the stock) to X60 in a box 100 x 100 x
// 30 on the vice at the G54 origin (-50, -50, 110): the stock loses the slot's 60 x 10
// x 5 and the half disc of radius 5 and depth 5 at its end.
TEST(SessionEndToEnd, ShippedDefinitionsCutASlotIntoABoxStock) {
  testing::FolderSession run;
  Session& s = run.S;
  testing::ReadShippedDefinitions(s, run.Folder.Path());
  ASSERT_EQ(s.Nc.Modal.Tools.CurrentToolNumber, 1);
  ASSERT_EQ(s.Tool.Tool.Kind, kToolFlat);
  ASSERT_EQ(s.Tool.Tool.Diameter, 10.0f);
  ASSERT_EQ(s.Memory.Offsets.WorkOffsets[1][0], -50.0);

  constexpr double kPitch = 0.5;
  testing::MakeBoxStock(s, {-50, -50, 80, 50, 50, 110}, kPitch);
  testing::StartProgram(s, run.Folder.Write("slot.nc",
                                        "%\n"
                                        "G90 G54 G00 X-10. Y50.2 Z10.\n"
                                        "G01 Z-5. F500\n"
                                        "X60.\n"
                                        "G00 Z10.\n"
                                        "M30\n"
                                        "%\n"));
  std::string modes;
  int32_t cuttingMoves = 0;
  while (testing::NextMove(s)) {
    if (s.Nc.Modal.MoveExists == 0) continue;
    modes += std::to_string(s.Run.MotionMode);
    if (!testing::CutLiveMove(s)) continue;
    ++cuttingMoves;
    EXPECT_EQ(RapidConditionOf(s.Nc, s.Defs.Checks), RapidCondition::kNone);
  }
  EXPECT_EQ(s.Nc.Modal.EndState, kEndHandled);
  EXPECT_EQ(s.Nc.Modal.AlarmCode, kAlarmNone);
  EXPECT_EQ(modes, "0110");
  EXPECT_EQ(cuttingMoves, 1);  // the plunge is outside, the rapid leaves the slot it cut
  EXPECT_EQ(s.Nc.Position.ToolTip, (Vec3{10, 50.2 - 50, 120}));

  // The slot as the columns along Z see it: each column whose grid point
  // lies under the tool's path loses the 5 mm, weighted by its cell (halved
  // on the stock's first and last grid lines). The sides lie between grid
  // lines, so no point is on the outline.
  constexpr double kRadius = 5, kDepth = 5, kLength = 60, kY = 50.2;
  double columns = 0.0;
  for (int32_t i = 0; i <= 200; ++i) {
    for (int32_t j = 0; j <= 200; ++j) {
      const double x = i * kPitch, y = j * kPitch;
      const bool under = (x <= kLength && std::fabs(y - kY) < kRadius) ||
                         std::hypot(x - kLength, y - kY) < kRadius;
      if (!under) continue;
      const double weight = (i == 0 || i == 200 ? 0.5 : 1.0) * (j == 0 || j == 200 ? 0.5 : 1.0);
      columns += kDepth * kPitch * kPitch * weight;
    }
  }
  const double removed = -ComputeCutAmountStats(s.Work.Workpiece());
  EXPECT_NEAR(removed, columns, 1e-9 * columns);
  // And the solid slot itself, to within half a cell along its outline.
  const double slot = kLength * 2 * kRadius * kDepth + kPi * kRadius * kRadius / 2 * kDepth;
  EXPECT_NEAR(removed, slot, (2 * kLength + kPi * kRadius) * kPitch / 2 * kDepth);
}

}  // namespace
}  // namespace vestan
