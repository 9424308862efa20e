#include "display/view_mapping.h"

#include <gtest/gtest.h>

#include <string>

#include "display/coordinate_frames.h"
#include "machine/forward_kinematics.h"
#include "machine/machine_world.h"
#include "machine/work_offset_frame.h"

namespace vestan {
namespace {

using testing::MachineWorld;

void ExpectNear(const Vec3& got, const Vec3& want, const std::string& what, double tol = 1e-9) {
  for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tol) << what << " [" << i << "]";
}

MachinePositionState PositionAt(const ControllerDefinition& controller, const AxisPosition& m) {
  MachinePositionState position;
  position.MachinePosition = m;
  position.RotarySinCos = ComputeRotarySinCos(controller, {m[3], m[4]});
  return position;
}

TEST(SetTableShift, OnlyTheAxesThatMoveTheTableShiftIt) {
  MachineDefinition machine;
  machine.TableMoves = {1, 0, 1};
  Vec3 shift{9, 9, 9};
  SetTableShift(machine, {10, -20, 30, 45, 5}, shift);
  EXPECT_EQ(shift, (Vec3{-10, 0, -30}));
}

// Where the scene draws a point of the work turned with the tables must be
// where the tool tip that touches it is drawn: the tip the kinematics give
// at the machine position, taken without the tables' turn.
TEST(MachineToDisplayCoordinates, TheWorkIsDrawnWhereTheToolTouchesIt) {
  struct Machine {
    const char* name;
    const char* text;
    const char* controller;
  } machines[] = {
      {"TABLE A-C, both reversed",
       "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=10,-20,-180\n"
       "TABLE OFFSET=5,7,30\n",
       "ROTARY1 DIRECTION=REVERSE\nROTARY2 DIRECTION=REVERSE\n"},
      {"TABLE B-C with AXIS1 ANGLE 30",
       "ROTARY TYPE=TABLE\nROTARY AXIS1=Y\nAXIS1 ANGLE=30\nROTARY AXIS2=Z\n"
       "TABLE POSITION=0,0,-150\nTABLE OFFSET=3,4,0\n",
       ""},
      {"MIX B-C",
       "ROTARY TYPE=MIX\nROTARY AXIS1=Y\nROTARY AXIS2=Z\nHEAD POSITION=0,0,200\n"
       "TABLE POSITION=30,40,-150\n",
       ""},
      {"MIX A-C with AXIS1 VECTOR 1,1,1",
       "ROTARY TYPE=MIX\nROTARY AXIS1=X\nAXIS1 VECTOR=1,1,1\nROTARY AXIS2=Z\n"
       "TABLE POSITION=0,10,-50\n",
       ""},
  };
  const double length = 110.0;
  for (const Machine& m : machines) {
    MachineWorld world(m.text, m.controller);
    const MachineKinematics& k = world.Kinematics();
    const ControllerDefinition& c = world.Controller();
    const bool table = k.RotaryType == kRotaryTable;
    for (const RotaryAngles& angles : {RotaryAngles{30, 20}, RotaryAngles{-75, 50},
                                       RotaryAngles{120, -35}, RotaryAngles{0, 90}}) {
      const AxisPosition at{12.5, -40, 7, angles[0], angles[1]};
      Vec3 tip, axis, drawnTip;
      ComputeToolTipAndAxis(k, c, length, at, tip, axis);
      // The tip as the head carries it: no table turns.
      ComputeToolTipAndAxis(k, c, length, {at[0], at[1], at[2], table ? 0 : angles[0], 0}, drawnTip,
                            axis);
      const MachineDisplayFrame frame =
          MakeMachineDisplayFrame(k, PositionAt(c, at), {0, 0, 0}, ViewCamera{});
      ExpectNear(MachineToDisplayCoordinates(frame, tip), drawnTip,
                 std::string(m.name) + " at " + std::to_string(angles[0]) + ", " +
                     std::to_string(angles[1]));
    }
  }
}

TEST(MachineToDisplayCoordinates, ViewOptionsAndUnturnedTables) {
  MachineWorld world(
      "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=0,0,-100\n");
  const MachineKinematics& k = world.Kinematics();
  const ControllerDefinition& c = world.Controller();
  const Vec3 shift{-5, 0, 0};
  const Vec3 p{10, 20, 30};
  // Angles 0: the point is only shifted.
  ViewCamera camera;
  MachineDisplayFrame frame = MakeMachineDisplayFrame(k, PositionAt(c, {5, 0, 0, 0, 0}), shift,
                                                      camera);
  EXPECT_EQ(frame.Turned, 0);
  EXPECT_EQ(MachineToDisplayCoordinates(frame, p), (Vec3{5, 20, 30}));
  // C 90 turns the point back about Z through the table (negative turn):
  // (10, 20) goes to (20, -10).
  frame = MakeMachineDisplayFrame(k, PositionAt(c, {5, 0, 0, 0, 90}), shift, camera);
  ExpectNear(MachineToDisplayCoordinates(frame, p), {15, -10, 30}, "C 90");
  // The fixed-table view drops the shift; the follow-table view the turn.
  camera.FixedTable = 1;
  frame = MakeMachineDisplayFrame(k, PositionAt(c, {5, 0, 0, 0, 90}), shift, camera);
  ExpectNear(MachineToDisplayCoordinates(frame, p), {20, -10, 30}, "fixed table");
  camera.FollowTable = 1;
  frame = MakeMachineDisplayFrame(k, PositionAt(c, {5, 0, 0, 0, 90}), shift, camera);
  EXPECT_EQ(MachineToDisplayCoordinates(frame, p), p);
}

TEST(ModelToWorkCoordinates, TakesAMachinePointBackIntoTheWorkFrame) {
  MachineWorld world(
      "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=0,0,-100\n"
      "TABLE OFFSET=0,10,0\n");
  const Vec3 work{3, -4, 5};
  // Without rotary values only the origin counts.
  WorkOffsetFrame plain = ComputeWorkOffsetFrame({100, 50, -20, 0, 0}, world.Kinematics(),
                                                 world.Controller());
  EXPECT_EQ(ModelToWorkCoordinates(plain, {103, 46, -15}), work);
  // With them the point a work point stands at in the machine comes back.
  WorkOffsetFrame turned = ComputeWorkOffsetFrame({100, 50, -20, 30, 60}, world.Kinematics(),
                                                  world.Controller());
  ASSERT_EQ(turned.FrameRotated, 1);
  const Vec3 machine = VectorAdd(MultiplyMatrixVector(turned.Matrix, work), turned.Origin);
  ExpectNear(ModelToWorkCoordinates(turned, machine), work, "turned frame", 1e-12);
}

TEST(CoordinateFrames, TheFirstEntryIsTurnedWithTheTablesAndScaled) {
  MachineWorld world(
      "ROTARY TYPE=TABLE\nROTARY AXIS1=X\nROTARY AXIS2=Z\nTABLE POSITION=0,0,-100\n");
  OffsetMemory offsets;
  offsets.WorkOffsets[0] = {10, 0, 0, 0, 90};
  offsets.WorkOffsets[1] = {500, 500, 500, 0, 0};  // the selected entry plays no part
  DisplayListTable display;
  CoordinateFrame frame;
  UpdateWorkCoordinateFrame(offsets, world.Kinematics(), world.Controller(), frame, display);
  EXPECT_TRUE(display.NeedsRebuild(kListCoordinateAxes));
  // C 90 about Z through the table: X goes to Y, (10, 0, 0) to (0, 10, 0).
  ExpectNear(frame.Origin, {0, 10, 0}, "origin", 1e-12);
  ExpectNear(frame.Axes[0], {0, 1, 0}, "X", 1e-12);
  ExpectNear(frame.Axes[1], {-1, 0, 0}, "Y", 1e-12);
  ExpectNear(frame.Axes[2], {0, 0, 1}, "Z", 1e-12);
  ExpectNear(frame.ScaledAxes[0], {0, kFirstWorkFrameScale, 0}, "scaled X", 1e-12);
  ExpectNear(MultiplyMatrixVector(frame.InverseAxes, {0, 1, 0}), {1, 0, 0}, "inverse", 1e-12);
  // A head machine turns nothing.
  MachineWorld head("ROTARY TYPE=HEAD\nROTARY AXIS1=Z\nROTARY AXIS2=X\n");
  const CoordinateFrame plain = BuildCoordinateFrame({10, 20, 30, 45, 45}, head.Kinematics(),
                                                     head.Controller(), kCurrentWorkFrameScale);
  EXPECT_EQ(plain.Origin, (Vec3{10, 20, 30}));
  EXPECT_EQ(plain.ScaledAxes[2], (Vec3{0, 0, kCurrentWorkFrameScale}));
}

}  // namespace
}  // namespace vestan
