// The machine position of a pass: what a conversion reads of the pass, and
// where a derived program position lands.
#include "nc/position_update.h"

#include <gtest/gtest.h>

#include "nc/nc_world.h"

namespace vestan {
namespace {

using testing::Dialect;
using testing::MakeNcWorld;

TEST(MakePositionInputs, TakesThePassState) {
  struct Case {
    Dialect dialect;
    int32_t keepOut;
  } cases[] = {{Dialect::kDefault, 0},
               {Dialect::kMazak, 0},
               {Dialect::kOsp, 1},
               {Dialect::kSiemens, 1},
               {Dialect::kHeidenhain, 1}};
  for (const Case& c : cases) {
    auto w = MakeNcWorld(c.dialect);
    NcModalState& m = w->Modal();
    m.ReferenceReturnStage = kReferencePointReached;
    m.ToolAxisMode = kToolAxisVector;
    m.Length.PreviousToolLength = 42;
    m.TiltedPlane.State = 1;
    m.TiltedPlane.Angles = {10, 20, 30};
    m.TiltedPlane.SolutionSign = -1;
    m.Plane.PlaneAxes = {2, 0, 1};
    m.PositioningMode = 1;
    w->Run.MotionMode = kMotionLinear;
    const PositionModalInputs in = MakePositionInputs(w->Context, w->Records);
    const int dialect = static_cast<int>(c.dialect);
    EXPECT_EQ(in.KeepRotaryOffsetsOut, c.keepOut) << dialect;
    EXPECT_EQ(in.ReferenceReturnStage, kReferencePointReached);
    EXPECT_EQ(in.ToolAxisMode, kToolAxisVector);
    EXPECT_EQ(in.ToolLengthInForce, 42);
    EXPECT_EQ(in.TiltedPlaneState, 1);
    EXPECT_EQ(in.TiltedPlaneAngles, (RotaryAngles{10, 20}));
    EXPECT_EQ(in.PlaneNormalAxis, 1);
    EXPECT_EQ(in.Rotary.SpcAngle, 30);
    EXPECT_EQ(in.Rotary.SolutionSign, -1);
    EXPECT_EQ(in.Rotary.Incremental, 1);
    EXPECT_EQ(in.Rotary.MotionMode, kMotionLinear);
    EXPECT_EQ(in.Rotary.Heidenhain, c.dialect == Dialect::kHeidenhain ? 1 : 0);
  }
}

TEST(UpdateMachinePosition, DerivedPositionsLandInTheMoveAndTheInterpreter) {
  auto w = MakeNcWorld();
  w->Memory.Offsets.ActiveWorkOffset = {1, 2, 3, 0, 0};
  MachinePositionState& p = w->Context.Position;
  p.ReferenceLength = 100;
  p.ToolLength = 100.0f;
  p.ProgramPosition = {10, 20, 30, 0, 0};
  w->Context.Move.End = {7, 7, 7, 7, 7};
  const WorkpiecePlacement none;
  // A plain block: the machine follows the program; the move stays.
  UpdateMachinePosition(w->Context, w->Records, none);
  EXPECT_EQ(p.MachinePosition, (AxisPosition{11, 22, 33, 0, 0}));
  EXPECT_EQ(w->Context.Move.End, (AxisPosition{7, 7, 7, 7, 7}));
  // At a reference point the program follows the machine, into the move's
  // end and the interpreter's program position.
  w->Modal().ReferenceReturnStage = kReferencePointReached;
  p.MachinePosition = {51, 62, 73, 0, 0};
  UpdateMachinePosition(w->Context, w->Records, none);
  EXPECT_EQ(p.ProgramPosition, (AxisPosition{50, 60, 70, 0, 0}));
  EXPECT_EQ(w->Context.Move.End, (AxisPosition{50, 60, 70, 0, 0}));
  EXPECT_EQ(w->Modal().ProgramPosition, (AxisPosition{50, 60, 70, 0, 0}));
}

}  // namespace
}  // namespace vestan
